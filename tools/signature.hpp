// Signatures of the factory data: the station signs the text of the Checksum section with an
// Ed25519 private key kept at the factory, and a device checks it with the public key, so that
// sums rewritten by anyone without that key are found out.
//
//   BeginOfSignature
//   Type=ed25519
//   KeyId=<16 lower-case hexadecimal digits: the start of SHA-256 of the raw public key>
//   Value=<128 lower-case hexadecimal digits: the 64 bytes of the signature>
//   EndOfSignature
//
// The signed message is kSignedMessagePrefix followed by the section text of Checksum. The
// section must hold exactly these three lines, in this order, and the data exactly one line
// BeginOfSignature. docs/format.md describes it for other implementations.
#ifndef TZO_FACTORYINFO_TOOL_SIGNATURE_HPP
#define TZO_FACTORYINFO_TOOL_SIGNATURE_HPP

#include <istream>
#include <memory>
#include <string>

struct evp_pkey_st; // OpenSSL's EVP_PKEY, kept out of the tool's other files

namespace tzo::factoryinfo::tool {

inline constexpr char kSignatureSection[] = "Signature";
// Starts every signed message, so that a signature of the format can never pass for one made
// for another purpose with the same key.
inline constexpr char kSignedMessagePrefix[] = "tzo-gw-factoryinfo Checksum signature 1\n";

// The Ed25519 public key that checks signatures, as a device holds it.
class PublicKey {
public:
    // Reads the key from the PEM file at `path`, as `openssl pkey -pubout` writes it; /dev/fd/N
    // reads it from the open file descriptor N. Throws Failure (kUsageError) naming --key and
    // `path` when the file cannot be read, is empty or too large, holds a private key, is not a
    // PEM public key or not an Ed25519 one. The message never holds any of the file's bytes.
    static PublicKey read(const std::string& path);

    // Returns the key id: the first 8 bytes of the SHA-256 of the 32 bytes of the raw key, as 16
    // lower-case hexadecimal digits.
    const std::string& id() const { return m_id; }

    // Returns true when `signature` is this key's Ed25519 signature of `message`.
    bool verifies(const std::string& message, const std::string& signature) const;

private:
    friend class PrivateKey;
    explicit PublicKey(std::shared_ptr<evp_pkey_st> key);

    std::shared_ptr<evp_pkey_st> m_key;
    std::string m_id;
};

// The Ed25519 private key that signs, as the station holds it.
class PrivateKey {
public:
    // Reads the key from the PEM file at `path`, as `openssl genpkey -algorithm ed25519` writes
    // it; /dev/fd/N reads it from the open file descriptor N, so that it need not lie in a file.
    // Throws Failure (kUsageError) naming --sign-key and `path` when the file cannot be read, is
    // empty or too large, is not an unencrypted PEM private key or not an Ed25519 one. The
    // message never holds any of the file's bytes.
    static PrivateKey read(const std::string& path);

    // Returns the public half of this key.
    PublicKey publicKey() const;

    // Returns the 64-byte Ed25519 signature of `message`.
    std::string sign(const std::string& message) const;

private:
    explicit PrivateKey(std::shared_ptr<evp_pkey_st> key);

    std::shared_ptr<evp_pkey_st> m_key;
};

// Returns `bytes` as lower-case hexadecimal digits, two for each byte.
std::string hexOf(const std::string& bytes);

// Returns the Signature section, markers included, that signs the section text `checksumText`
// of the Checksum section with `key`.
std::string signatureSection(const PrivateKey& key, const std::string& checksumText);

// Checks that the data of `in` holds one Signature section, well-formed, made by `key` over the
// section text of its Checksum section. Throws Failure (kDataError) with a message that starts
// "Signature: " when it does not; a read that fails leaves with the stream's own exception, or
// as ReadError "error reading factory data".
void requireSignature(std::istream& in, const PublicKey& key);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_SIGNATURE_HPP
