# The platform's own libtzo-gw-crypto.so.1 and tzo/crypto.hpp, as the imported target
# tzo::crypto. Point the search at a device's staging tree with CMAKE_PREFIX_PATH or
# CMAKE_SYSROOT, or name the files with TZO_CRYPTO_LIBRARY and TZO_CRYPTO_INCLUDE_DIR.
find_library(TZO_CRYPTO_LIBRARY NAMES libtzo-gw-crypto.so.1 tzo-gw-crypto)
find_path(TZO_CRYPTO_INCLUDE_DIR NAMES tzo/crypto.hpp)
if(NOT TZO_CRYPTO_LIBRARY OR NOT TZO_CRYPTO_INCLUDE_DIR)
    message(FATAL_ERROR
        "TZO_FACTORYINFO_PLATFORM_CRYPTO is on, but libtzo-gw-crypto.so.1 or tzo/crypto.hpp was "
        "not found: set TZO_CRYPTO_LIBRARY and TZO_CRYPTO_INCLUDE_DIR, or CMAKE_PREFIX_PATH.")
endif()

if(NOT TARGET tzo::crypto)
    add_library(tzo::crypto SHARED IMPORTED)
    set_target_properties(tzo::crypto PROPERTIES
        IMPORTED_LOCATION "${TZO_CRYPTO_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${TZO_CRYPTO_INCLUDE_DIR}"
    )
endif()
