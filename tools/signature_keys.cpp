// Ed25519 keys and signatures, through OpenSSL's EVP interface. Nothing of the keys is ever put
// into a message: key files are named by their path, and keys by their id.
#include "signature.hpp"

#include "status.hpp"

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <stdexcept>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kPublicKeyOption[] = "--key";
constexpr char kPrivateKeyOption[] = "--sign-key";
// A PEM Ed25519 key takes about 120 bytes: a larger file is some other file given by mistake,
// or a device without end.
constexpr std::size_t kKeyFileLimit = 16 * 1024;
constexpr std::size_t kRawPublicKeyBytes = 32;
constexpr std::size_t kKeyIdBytes = 8;
constexpr std::size_t kSignatureBytes = 64;

// The bytes of a key file, wiped when they are no longer needed.
class KeyText {
public:
    KeyText() = default;
    ~KeyText() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
    KeyText(const KeyText&) = delete;
    KeyText& operator=(const KeyText&) = delete;

    std::string bytes;
};

// Throws the failure for the key file `path` given with `option`: `problem` says what is wrong.
[[noreturn]] void keyError(const char* option, const std::string& path,
                           const std::string& problem) {
    ERR_clear_error();
    throw Failure(kUsageError, std::string(option) + ' ' + path + ": " + problem);
}

// Throws the failure of OpenSSL's call `call`, which only a lack of memory explains.
[[noreturn]] void cryptoError(const char* call) {
    ERR_clear_error();
    throw std::runtime_error(std::string(call) + " failed in OpenSSL");
}

// Reads the key file at `path`, given with `option`, into `text`. Throws the failure when it
// cannot be read, is empty, or is larger than any key file.
void readKeyFile(const char* option, const std::string& path, KeyText& text) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor == -1) {
        keyError(option, path, std::string("cannot be opened: ") + std::strerror(errno));
    }
    text.bytes.resize(kKeyFileLimit + 1);
    std::size_t size = 0;
    int error = 0;
    while (size < text.bytes.size()) {
        const ssize_t got = read(descriptor, &text.bytes[size], text.bytes.size() - size);
        if (got == -1 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            error = got == -1 ? errno : 0;
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    close(descriptor);
    if (error != 0) {
        keyError(option, path, std::string("cannot be read: ") + std::strerror(error));
    }
    if (size == 0) {
        keyError(option, path, "the file is empty");
    }
    if (size > kKeyFileLimit) {
        keyError(option, path, "larger than 16 KiB, which no PEM key is");
    }
    text.bytes.resize(size);
}

// Returns the key that OpenSSL made of `key`, freed with the last copy; throws the failure
// naming `option` and `path` unless it is an Ed25519 key.
std::shared_ptr<evp_pkey_st> ed25519Key(EVP_PKEY* key, const char* option,
                                        const std::string& path) {
    std::shared_ptr<evp_pkey_st> owned(key, EVP_PKEY_free);
    if (EVP_PKEY_id(key) != EVP_PKEY_ED25519) {
        keyError(option, path, "not an Ed25519 key");
    }
    return owned;
}

// Returns the 32 bytes of the raw public key of the Ed25519 key `key`, private or public.
std::string rawPublicKey(EVP_PKEY* key) {
    std::string raw(kRawPublicKeyBytes, '\0');
    std::size_t size = raw.size();
    if (EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(raw.data()), &size) !=
            1 ||
        size != raw.size()) {
        cryptoError("EVP_PKEY_get_raw_public_key");
    }
    return raw;
}

// Returns a new digest context, freed with the returned pointer.
std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> digestContext() {
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context) {
        cryptoError("EVP_MD_CTX_new");
    }
    return context;
}

// The passphrase callback of PEM_read_bio_PrivateKey: refuses to give one, where OpenSSL's
// own would ask on the terminal, and records in `asked` (a bool) that the key is encrypted.
int refusePassphrase(char*, int, int, void* asked) {
    *static_cast<bool*>(asked) = true;
    return -1;
}

// Returns a memory BIO over `text`, freed with the returned pointer.
std::unique_ptr<BIO, int (*)(BIO*)> memoryBio(const KeyText& text) {
    std::unique_ptr<BIO, int (*)(BIO*)> bio(
        BIO_new_mem_buf(text.bytes.data(), static_cast<int>(text.bytes.size())), BIO_free);
    if (!bio) {
        cryptoError("BIO_new_mem_buf");
    }
    return bio;
}

} // namespace

PublicKey::PublicKey(std::shared_ptr<evp_pkey_st> key) : m_key(std::move(key)) {
    const std::string raw = rawPublicKey(m_key.get());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(raw.data(), raw.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
        cryptoError("EVP_Digest");
    }
    m_id = hexOf(std::string(reinterpret_cast<const char*>(digest), kKeyIdBytes));
}

PublicKey PublicKey::read(const std::string& path) {
    KeyText text;
    readKeyFile(kPublicKeyOption, path, text);
    if (text.bytes.find("PRIVATE KEY-----") != std::string::npos) {
        keyError(kPublicKeyOption, path,
                 "holds a private key, which must not leave the station; give the public half "
                 "(openssl pkey -pubout)");
    }
    EVP_PKEY* key = PEM_read_bio_PUBKEY(memoryBio(text).get(), nullptr, nullptr, nullptr);
    if (key == nullptr) {
        keyError(kPublicKeyOption, path, "not a public key in PEM");
    }
    return PublicKey(ed25519Key(key, kPublicKeyOption, path));
}

bool PublicKey::verifies(const std::string& message, const std::string& signature) const {
    const auto context = digestContext();
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1) {
        cryptoError("EVP_DigestVerifyInit");
    }
    const int verified = EVP_DigestVerify(
        context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
        reinterpret_cast<const unsigned char*>(message.data()), message.size());
    ERR_clear_error(); // a signature that does not verify leaves an error behind
    return verified == 1;
}

PrivateKey::PrivateKey(std::shared_ptr<evp_pkey_st> key) : m_key(std::move(key)) {}

PrivateKey PrivateKey::read(const std::string& path) {
    KeyText text;
    readKeyFile(kPrivateKeyOption, path, text);
    bool encrypted = false;
    EVP_PKEY* key =
        PEM_read_bio_PrivateKey(memoryBio(text).get(), nullptr, refusePassphrase, &encrypted);
    if (key == nullptr) {
        keyError(kPrivateKeyOption, path,
                 encrypted ? "encrypted with a passphrase; seal needs the key unencrypted, "
                             "kept where only the station can read it"
                           : "not a private key in PEM");
    }
    return PrivateKey(ed25519Key(key, kPrivateKeyOption, path));
}

PublicKey PrivateKey::publicKey() const {
    const std::string raw = rawPublicKey(m_key.get());
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(raw.data()), raw.size());
    if (key == nullptr) {
        cryptoError("EVP_PKEY_new_raw_public_key");
    }
    return PublicKey(std::shared_ptr<evp_pkey_st>(key, EVP_PKEY_free));
}

std::string PrivateKey::sign(const std::string& message) const {
    const auto context = digestContext();
    std::string signature(kSignatureBytes, '\0');
    std::size_t size = signature.size();
    if (EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1 ||
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1 ||
        size != signature.size()) {
        cryptoError("EVP_DigestSign");
    }
    return signature;
}

} // namespace tzo::factoryinfo::tool
