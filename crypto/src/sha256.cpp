#include "tzo/crypto.hpp"

#include <sodium.h>

namespace tzo::crypto {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

} // namespace

std::string calculateSha256(const std::uint8_t* data, std::uint32_t length) {
    // libsodium's SHA-256 is plain code on the caller's memory: it needs no sodium_init(),
    // allocates nothing and cannot fail, so only the digits below can throw.
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, data, length);

    std::string hex(2 * sizeof digest, '\0');
    for (std::size_t i = 0; i < sizeof digest; ++i) {
        hex[2 * i] = kHexDigits[digest[i] >> 4];
        hex[2 * i + 1] = kHexDigits[digest[i] & 0x0f];
    }
    return hex;
}

} // namespace tzo::crypto
