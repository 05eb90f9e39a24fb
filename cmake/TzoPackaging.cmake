# Debian packages, made by CPack from the install components (see cmake/TzoInstall.cmake):
#
#   component    package                     contents
#   runtime      libtzo-gw-factoryinfo0      the shared libraries
#   development  libtzo-gw-factoryinfo-dev   headers, .so links, CMake package, pkg-config file
#   tool         tzo-factoryinfo             the tool, its manual page, its device rules, the
#                                            helper and configuration of the MAC addresses
#
# scripts/package.sh configures a tree for them (prefix /usr, Debian's build flags, no run
# paths) and runs `cpack -G DEB` in it.

# CPack's pre-build scripts and private search directories for dpkg-shlibdeps need 3.20.
if(CMAKE_VERSION VERSION_LESS 3.20)
    message(STATUS "Debian packages need CMake 3.20 or later: not set up")
    return()
endif()

# A file installed without a component would be left out of every package.
get_cmake_property(tzo_components COMPONENTS)
if("Unspecified" IN_LIST tzo_components)
    message(FATAL_ERROR "an install rule names no COMPONENT: give it runtime, development or "
                        "tool (cmake/TzoInstall.cmake), so that a package carries the file")
endif()

set(TZO_DEB_MAINTAINER "TZO gateway software <gateway-software@tzo.example>"
    CACHE STRING "Maintainer field of the Debian packages")
set(TZO_DEB_CRYPTO_DEPENDS ""
    CACHE STRING "With TZO_FACTORYINFO_PLATFORM_CRYPTO, the Debian package that provides \
libtzo-gw-crypto.so.1, for the runtime package's Depends")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR TZO)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TZO_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE ${PROJECT_NAME})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${tzo_components})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_TOOL_DEPENDS runtime)

# Dependencies on system libraries come from the binaries. The project's own libraries come
# with no package information: dpkg-shlibdeps finds them in the build tree and leaves them to
# the dependencies between the components above.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
get_target_property(tzo_library_dir tzo-gw-factoryinfo BINARY_DIR)
if(TARGET tzo-gw-crypto)
    get_target_property(tzo_crypto_dir tzo-gw-crypto BINARY_DIR)
else()
    get_filename_component(tzo_crypto_dir "${TZO_CRYPTO_LIBRARY}" DIRECTORY)
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${tzo_library_dir}" "${tzo_crypto_dir}")
# A program built against one release runs with any later one of the same soname (the ABI
# guard in tests/abi/ keeps it so).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

# The packages are built for the compiler's target: armhf in a cross build.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
                OUTPUT_VARIABLE tzo_target OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND dpkg-architecture -t${tzo_target} -qDEB_HOST_ARCH
                OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtzo-gw-factoryinfo0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "${TZO_DEB_CRYPTO_DEPENDS}")
# The loader's cache is refreshed through dpkg's ldconfig trigger.
file(WRITE "${PROJECT_BINARY_DIR}/deb/triggers" "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA "${PROJECT_BINARY_DIR}/deb/triggers")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "TZO gateway factory data library
The library that programs on a TZO gateway read the factory data with:
serial number, MAC addresses, hardware revision and calibration results,
kept as text sections in the flash partition labelled FACTORY, each
verified against its SHA-256 sum.")
if(NOT TZO_FACTORYINFO_PLATFORM_CRYPTO)
    string(APPEND CPACK_COMPONENT_RUNTIME_DESCRIPTION "
.
This package also carries libtzo-gw-crypto.so.1, a stand-in for the
platform's crypto library that computes SHA-256 with libsodium.")
endif()

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtzo-gw-factoryinfo-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "TZO gateway factory data library (development files)
The headers, the CMake package tzo-gw-factoryinfo and the pkg-config file
tzo-gw-factoryinfo.pc, for building programs that read the factory data of TZO
gateways.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME tzo-factoryinfo)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
# The helper that sets the interfaces' addresses calls ip.
set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS iproute2)
# The addresses' configuration is the administrator's: an upgrade keeps their changes, and only
# a purge removes it.
file(WRITE "${PROJECT_BINARY_DIR}/deb/conffiles"
     "${CMAKE_INSTALL_FULL_SYSCONFDIR}/tzo-gw-factoryinfo/mac-address.conf\n")
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA "${PROJECT_BINARY_DIR}/deb/conffiles")
set(CPACK_COMPONENT_TOOL_DESCRIPTION "read, verify and seal TZO gateway factory data
The command tzo-factoryinfo gives shell scripts and people the factory
data of a TZO gateway: single values, every pair as JSON or shell
variables, section text, and the verification of sections against their
sums. At the factory, it seals a draft into a partition image that reads
back as meant.
.
When a network interface appears, a udev rule gives it the MAC address
that /etc/tzo-gw-factoryinfo/mac-address.conf maps it to, from the
verified factory data.")

# Debian wants a copyright file and a changelog in every package and compressed manual pages;
# cmake/TzoDebianFiles.cmake adds them to the staged files.
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/TzoDebianFiles.cmake")
set(CPACK_TZO_COPYRIGHT_FILE "${PROJECT_SOURCE_DIR}/cmake/copyright")

include(CPack)
