# Installs the libraries, headers, the CMake package tzo-gw-factoryinfo (target
# tzo::factoryinfo, which brings tzo::crypto along), the pkg-config file, and the rules that
# name the flash partitions (TzoBoardRules).
#
# Every install rule names the Debian package it belongs to (cmake/TzoPackaging.cmake):
#   runtime      the shared libraries (libtzo-gw-factoryinfo0)
#   development  headers, .so links, CMake package, pkg-config file (libtzo-gw-factoryinfo-dev)
#   tool         the tool, its manual page, its device rules (tzo-factoryinfo)
include(CMakePackageConfigHelpers)

set(TZO_PACKAGE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/tzo-gw-factoryinfo")

set(tzo_installed_targets tzo-gw-factoryinfo)
if(NOT TZO_FACTORYINFO_PLATFORM_CRYPTO)
    list(APPEND tzo_installed_targets tzo-gw-crypto)
    install(FILES "${PROJECT_SOURCE_DIR}/crypto/include/tzo/crypto.hpp"
            DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/tzo" COMPONENT development)
else()
    install(FILES "${PROJECT_SOURCE_DIR}/cmake/TzoPlatformCrypto.cmake"
            DESTINATION "${TZO_PACKAGE_DIR}" COMPONENT development)
endif()

install(TARGETS ${tzo_installed_targets}
    EXPORT tzo-gw-factoryinfo-targets
    LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
        COMPONENT runtime NAMELINK_COMPONENT development
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT development
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime
)
install(FILES "${PROJECT_SOURCE_DIR}/include/tzo/factoryinfo.hpp"
              "${PROJECT_SOURCE_DIR}/include/tzo/factoryinfo.h"
        DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/tzo" COMPONENT development)

install(EXPORT tzo-gw-factoryinfo-targets
    NAMESPACE tzo::
    DESTINATION "${TZO_PACKAGE_DIR}"
    COMPONENT development
)
configure_package_config_file(
    "${PROJECT_SOURCE_DIR}/cmake/tzo-gw-factoryinfo-config.cmake.in"
    "${PROJECT_BINARY_DIR}/tzo-gw-factoryinfo-config.cmake"
    INSTALL_DESTINATION "${TZO_PACKAGE_DIR}"
)
# The soname changes with the major version, so any 0.x release serves a 0.y request.
write_basic_package_version_file(
    "${PROJECT_BINARY_DIR}/tzo-gw-factoryinfo-config-version.cmake"
    COMPATIBILITY SameMajorVersion
)
install(FILES
    "${PROJECT_BINARY_DIR}/tzo-gw-factoryinfo-config.cmake"
    "${PROJECT_BINARY_DIR}/tzo-gw-factoryinfo-config-version.cmake"
    DESTINATION "${TZO_PACKAGE_DIR}"
    COMPONENT development
)

# pkg-config paths: relative install dirs hang below ${prefix}, absolute ones stay as given.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(TZO_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
    set(TZO_PC_LIBDIR "\${exec_prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
    set(TZO_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
    set(TZO_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
# The prefix is the one actually installed to, which `cmake --install --prefix` may change
# after configuring: the file is configured here with the prefix left as @CMAKE_INSTALL_PREFIX@,
# and that is filled in at install time.
set(TZO_PC_PREFIX "@CMAKE_INSTALL_PREFIX@")
configure_file("${PROJECT_SOURCE_DIR}/cmake/tzo-gw-factoryinfo.pc.in"
               "${PROJECT_BINARY_DIR}/tzo-gw-factoryinfo.pc.in" @ONLY)
install(CODE "configure_file(\"${PROJECT_BINARY_DIR}/tzo-gw-factoryinfo.pc.in\"
                            \"${PROJECT_BINARY_DIR}/tzo-gw-factoryinfo.pc\" @ONLY)"
        COMPONENT development)
install(FILES "${PROJECT_BINARY_DIR}/tzo-gw-factoryinfo.pc"
        DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig" COMPONENT development)

include(TzoBoardRules)
