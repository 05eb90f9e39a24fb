// Reading key files, whose bytes are wiped as soon as the library has made its key of them.
// Nothing of the keys is ever put into a message: key files are named by their path.
#include "signature.hpp"

#include "status.hpp"

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

// The bytes of a key file, wiped when they are no longer needed.
class KeyText {
public:
    KeyText() = default;
    ~KeyText() { explicit_bzero(bytes.data(), bytes.size()); }
    KeyText(const KeyText&) = delete;
    KeyText& operator=(const KeyText&) = delete;

    std::string bytes;
};

// Throws the failure for the key file `path` given with `option`: `problem` says what is wrong.
[[noreturn]] void keyError(const char* option, const std::string& path,
                           const std::string& problem) {
    throw Failure(kUsageError, std::string(option) + ' ' + path + ": " + problem);
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

// Returns the key of type Key that the library makes of the key file at `path`, given with
// `option`. Throws the failure naming them when it cannot.
template <typename Key>
std::unique_ptr<Key> readKey(const char* option, const std::string& path) {
    KeyText text;
    readKeyFile(option, path, text);
    try {
        return std::make_unique<Key>(text.bytes);
    } catch (const std::invalid_argument& error) {
        keyError(option, path, error.what());
    }
}

} // namespace

std::vector<PublicKey> readPublicKeys(const std::vector<std::string>& paths) {
    std::vector<PublicKey> keys;
    for (const std::string& path : paths) {
        keys.push_back(*readKey<PublicKey>(kPublicKeyOption, path));
    }
    return keys;
}

std::unique_ptr<SigningKey> readSigningKey(const std::string& path) {
    return readKey<SigningKey>(kPrivateKeyOption, path);
}

} // namespace tzo::factoryinfo::tool
