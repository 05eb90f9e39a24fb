# Installs what makes /dev/mtd/by-label/NAME on a board: the udev rule (unless
# TZO_FACTORYINFO_UDEV_RULE is OFF), and for systems with busybox mdev instead of udev the lines
# for /etc/mdev.conf in share/tzo-gw-factoryinfo/mdev.conf with the helper that they call,
# libexec/tzo-gw-factoryinfo/mtd-by-label. All of it goes with the tool's package.
set(tzo_rules_source "${PROJECT_SOURCE_DIR}/rules")

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
endif()

set(tzo_libexec_dir "${CMAKE_INSTALL_LIBEXECDIR}/tzo-gw-factoryinfo")
install(PROGRAMS "${tzo_rules_source}/mtd-by-label.sh" DESTINATION "${tzo_libexec_dir}"
        RENAME mtd-by-label COMPONENT tool)

# mdev.conf names the helper by its full path, so the prefix in it is the one installed to
# (which `cmake --install --prefix` may change after configuring): filled in at install time.
if(IS_ABSOLUTE "${tzo_libexec_dir}")
    set(TZO_MTD_BY_LABEL "${tzo_libexec_dir}/mtd-by-label")
else()
    set(TZO_MTD_BY_LABEL "@CMAKE_INSTALL_PREFIX@/${tzo_libexec_dir}/mtd-by-label")
endif()
configure_file("${tzo_rules_source}/mdev.conf.in" "${PROJECT_BINARY_DIR}/mdev.conf.in" @ONLY)
install(CODE "configure_file(\"${PROJECT_BINARY_DIR}/mdev.conf.in\"
                            \"${PROJECT_BINARY_DIR}/mdev.conf\" @ONLY)"
        COMPONENT tool)
install(FILES "${PROJECT_BINARY_DIR}/mdev.conf"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/tzo-gw-factoryinfo" COMPONENT tool)
