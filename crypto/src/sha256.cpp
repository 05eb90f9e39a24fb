#include "tzo/crypto.hpp"

#include <sodium.h>

namespace tzo::crypto {

std::string calculateSha256(const std::uint8_t* data, std::uint32_t length) {
    // libsodium's SHA-256 and hex encoding are plain code on the caller's memory: they need no
    // sodium_init(), allocate nothing and cannot fail, so only the string below can throw.
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, data, length);

    char hex[2 * sizeof digest + 1]; // sodium_bin2hex writes lower-case digits and a NUL
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return std::string(hex, 2 * sizeof digest);
}

} // namespace tzo::crypto
