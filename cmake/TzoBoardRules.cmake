# Installs what makes /dev/mtd/by-label/NAME on a board, and what gives the network interfaces
# their factory MAC addresses: the udev rules (unless TZO_FACTORYINFO_UDEV_RULE is OFF), and for
# systems with busybox mdev instead of udev the lines for /etc/mdev.conf in
# share/tzo-gw-factoryinfo/mdev.conf; the helpers that they call,
# libexec/tzo-gw-factoryinfo/mtd-by-label and mac-address; and the addresses' configuration,
# tzo-gw-factoryinfo/mac-address.conf in the configuration directory (/etc for the prefix /usr).
# All of it goes with the tool's package.
set(tzo_rules_source "${PROJECT_SOURCE_DIR}/rules")
set(tzo_libexec_dir "${CMAKE_INSTALL_LIBEXECDIR}/tzo-gw-factoryinfo")

# Files that name installed paths are configured at install time, for the prefix installed to
# (which `cmake --install --prefix` may change after configuring): here each path that hangs
# below the prefix is written @CMAKE_INSTALL_PREFIX@/DIR, and the configuration directory
# @TZO_SYSCONFDIR@, both filled in then.
# tzo_installed_path(VARIABLE DIR NAME): sets VARIABLE to the installed path of NAME in DIR.
function(tzo_installed_path variable dir name)
    if(IS_ABSOLUTE "${dir}")
        set(${variable} "${dir}/${name}" PARENT_SCOPE)
    else()
        set(${variable} "@CMAKE_INSTALL_PREFIX@/${dir}/${name}" PARENT_SCOPE)
    endif()
endfunction()
tzo_installed_path(TZO_MTD_BY_LABEL "${tzo_libexec_dir}" mtd-by-label)
tzo_installed_path(TZO_MAC_ADDRESS "${tzo_libexec_dir}" mac-address)
tzo_installed_path(TZO_TOOL "${CMAKE_INSTALL_BINDIR}" tzo-factoryinfo)
set(TZO_MAC_ADDRESS_CONF "@TZO_SYSCONFDIR@/tzo-gw-factoryinfo/mac-address.conf")
# As GNUInstallDirs has it: a relative directory hangs below the prefix, but for the prefix
# /usr, whose configuration is in /etc.
install(CODE "set(TZO_SYSCONFDIR \"${CMAKE_INSTALL_SYSCONFDIR}\")
              if(NOT IS_ABSOLUTE \"\${TZO_SYSCONFDIR}\" AND CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
                  set(TZO_SYSCONFDIR \"/\${TZO_SYSCONFDIR}\")
              elseif(NOT IS_ABSOLUTE \"\${TZO_SYSCONFDIR}\")
                  set(TZO_SYSCONFDIR \"\${CMAKE_INSTALL_PREFIX}/\${TZO_SYSCONFDIR}\")
              endif()"
        COMPONENT tool)
# tzo_configure_at_install(SOURCE NAME): configures SOURCE as NAME in the build tree now, and
# again at install time.
function(tzo_configure_at_install source name)
    configure_file("${source}" "${PROJECT_BINARY_DIR}/${name}.in" @ONLY)
    install(CODE "configure_file(\"${PROJECT_BINARY_DIR}/${name}.in\"
                                \"${PROJECT_BINARY_DIR}/${name}\" @ONLY)"
            COMPONENT tool)
endfunction()

if(TZO_FACTORYINFO_UDEV_RULE)
    # udev reads rules only from its own directories. Installed into the system's prefix /usr,
    # the rule goes where udev's pkg-config file says (/lib/udev/rules.d on Debian 12); into any
    # other prefix, to lib/udev/rules.d below it.
    set(tzo_udev_rules_dir "lib/udev/rules.d")
    find_package(PkgConfig QUIET)
    if(PKG_CONFIG_FOUND AND CMAKE_INSTALL_PREFIX STREQUAL "/usr")
        pkg_get_variable(tzo_udev_dir udev udevdir)
        if(tzo_udev_dir)
            set(tzo_udev_rules_dir "${tzo_udev_dir}/rules.d")
        endif()
    endif()
    set(TZO_FACTORYINFO_UDEV_RULES_DIR "${tzo_udev_rules_dir}" CACHE PATH
        "Where the udev rule goes; a relative path is below the install prefix")
    install(FILES "${tzo_rules_source}/60-tzo-gw-factoryinfo-mtd.rules"
            DESTINATION "${TZO_FACTORYINFO_UDEV_RULES_DIR}" COMPONENT tool)
    tzo_configure_at_install("${tzo_rules_source}/75-tzo-gw-factoryinfo-mac.rules.in"
                             75-tzo-gw-factoryinfo-mac.rules)
    install(FILES "${PROJECT_BINARY_DIR}/75-tzo-gw-factoryinfo-mac.rules"
            DESTINATION "${TZO_FACTORYINFO_UDEV_RULES_DIR}" COMPONENT tool)
endif()

install(PROGRAMS "${tzo_rules_source}/mtd-by-label.sh" DESTINATION "${tzo_libexec_dir}"
        RENAME mtd-by-label COMPONENT tool)
tzo_configure_at_install("${tzo_rules_source}/mac-address.sh" mac-address)
install(PROGRAMS "${PROJECT_BINARY_DIR}/mac-address" DESTINATION "${tzo_libexec_dir}"
        COMPONENT tool)
tzo_configure_at_install("${tzo_rules_source}/mdev.conf.in" mdev.conf)
install(FILES "${PROJECT_BINARY_DIR}/mdev.conf"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/tzo-gw-factoryinfo" COMPONENT tool)
install(CODE "file(INSTALL \"${tzo_rules_source}/mac-address.conf\"
                   DESTINATION \"\${TZO_SYSCONFDIR}/tzo-gw-factoryinfo\")"
        COMPONENT tool)
