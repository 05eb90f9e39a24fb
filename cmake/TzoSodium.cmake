# libsodium, as the imported target tzo::sodium: SHA-256 for the crypto stand-in, and Ed25519
# for the signatures. pkg-config finds the host's copy, or in a cross build the target's, as the
# toolchain file points it there.
if(NOT TARGET tzo::sodium)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(TZO_SODIUM REQUIRED IMPORTED_TARGET GLOBAL libsodium>=1.0.18)
    add_library(tzo::sodium ALIAS PkgConfig::TZO_SODIUM)
endif()
