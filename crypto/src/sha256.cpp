#include "tzo/crypto.hpp"

#include <openssl/evp.h>

#include <stdexcept>

namespace tzo::crypto {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr unsigned char kNoBytes[1] = {0};

} // namespace

std::string calculateSha256(const std::uint8_t* data, std::uint32_t length) {
    // EVP_Digest wants a readable pointer even for an empty message.
    const void* message = length == 0 ? kNoBytes : data;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (EVP_Digest(message, length, digest, &digestLength, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("unable to compute SHA-256 digest");
    }

    std::string hex;
    hex.reserve(2 * digestLength);
    for (unsigned int i = 0; i < digestLength; ++i) {
        hex += kHexDigits[digest[i] >> 4];
        hex += kHexDigits[digest[i] & 0x0f];
    }
    return hex;
}

} // namespace tzo::crypto
