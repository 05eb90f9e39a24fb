// tzo-gw-crypto: the SHA-256 digest that the factory data library checks sums with.
//
// On a device this header and libtzo-gw-crypto.so.1 come with the platform. The copy in this
// repository is a stand-in with the same interface, computing the digest with libsodium.
#ifndef TZO_CRYPTO_HPP
#define TZO_CRYPTO_HPP

#include <cstdint>
#include <string>

#if defined(__GNUC__)
#define TZO_CRYPTO_API __attribute__((visibility("default")))
#else
#define TZO_CRYPTO_API
#endif

namespace tzo {
namespace crypto {

// Computes the SHA-256 digest of the `length` bytes at `data` (`length` may be 0, and `data` is
// then not read). Returns the digest as 64 lower-case hexadecimal digits.
// Throws std::bad_alloc when memory runs out, and nothing else: the digest itself cannot fail.
TZO_CRYPTO_API std::string calculateSha256(const std::uint8_t* data, std::uint32_t length);

} // namespace crypto
} // namespace tzo

#endif // TZO_CRYPTO_HPP
