// The Signature section: writing it, and checking it as a device does. The keys and the
// signatures themselves are OpenSSL's (signature_keys.cpp).
#include "signature.hpp"

#include "status.hpp"

#include <tzo/factoryinfo.hpp>

#include <cstddef>
#include <cstring>
#include <optional>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::size_t kKeyIdDigits = 16;
constexpr std::size_t kSignatureBytes = 64;

// The lines of the section, in their order: the type, whole, and the starts of the other two.
constexpr char kTypeLine[] = "Type=ed25519";
constexpr char kTypeStart[] = "Type=";
constexpr char kKeyIdStart[] = "KeyId=";
constexpr char kValueStart[] = "Value=";

// The content of a Signature section.
struct SignatureLines {
    std::string keyId; // as written: hexadecimal digits
    std::string value; // decoded: the bytes of the signature
};

// Throws the failure of a signature check with `message`.
[[noreturn]] void signatureError(const std::string& message) {
    throw Failure(kDataError, std::string(kSignatureSection) + ": " + message);
}

// Returns the bytes that the lower-case hexadecimal digits `hex` stand for, or nothing when
// `hex` holds another character or an odd number of them.
std::optional<std::string> fromHex(const std::string& hex) {
    if (hex.size() % 2 != 0 || hex.find_first_not_of(kHexDigits) != std::string::npos) {
        return std::nullopt;
    }
    const auto digit = [&](std::size_t at) {
        return std::strchr(kHexDigits, hex[at]) - kHexDigits;
    };
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        bytes += static_cast<char>(digit(i) << 4 | digit(i + 1));
    }
    return bytes;
}

// Returns the line of `text` that starts at `start` and starts with `lineStart`, without its
// LF, and moves `start` past it; nothing when there is no such line.
std::optional<std::string> takeLine(const std::string& text, std::size_t& start,
                                    const char* lineStart) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos || text.compare(start, std::strlen(lineStart), lineStart) != 0) {
        return std::nullopt;
    }
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    return line;
}

// Returns how many lines of the data of `in`, up to its end, are exactly `line`.
std::size_t countLines(std::istream& in, const std::string& line) {
    in.clear();
    in.seekg(0);
    std::size_t count = 0;
    std::string read;
    while (getLine(in, read)) {
        count += read == line;
    }
    if (in.bad()) {
        throw ReadError(kReadErrorMessage, 0);
    }
    return count;
}

// Returns the section text of section `name` of `in`, or nothing when it is missing or not
// ended. A read that fails leaves with its exception.
std::optional<std::string> endedSection(std::istream& in, const std::string& name) {
    try {
        return readSectionText(in, name);
    } catch (const ReadError&) {
        throw;
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

// Returns the key id and the signature that the Signature section text `text` holds. Throws the
// failure unless it is exactly the three lines Type=ed25519, KeyId=... and Value=... .
SignatureLines parseSection(const std::string& text) {
    std::size_t start = 0;
    const std::optional<std::string> type = takeLine(text, start, kTypeStart);
    const std::optional<std::string> keyId = takeLine(text, start, kKeyIdStart);
    const std::optional<std::string> value = takeLine(text, start, kValueStart);
    if (!type || !keyId || !value || start != text.size()) {
        signatureError("the section must hold exactly the lines Type, KeyId and Value, in this "
                       "order");
    }
    if (*type != kTypeLine) {
        signatureError("unsupported type; only ed25519 is known");
    }
    SignatureLines parsed;
    parsed.keyId = keyId->substr(sizeof kKeyIdStart - 1);
    if (parsed.keyId.size() != kKeyIdDigits || !fromHex(parsed.keyId)) {
        signatureError("KeyId is not 16 lower-case hexadecimal digits");
    }
    const std::optional<std::string> signature = fromHex(value->substr(sizeof kValueStart - 1));
    if (!signature || signature->size() != kSignatureBytes) {
        signatureError("Value is not 128 lower-case hexadecimal digits");
    }
    parsed.value = *signature;
    return parsed;
}

} // namespace

std::string hexOf(const std::string& bytes) {
    std::string hex;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kHexDigits[byte >> 4];
        hex += kHexDigits[byte & 0xf];
    }
    return hex;
}

std::string signatureSection(const PrivateKey& key, const std::string& checksumText) {
    const std::string value = hexOf(key.sign(kSignedMessagePrefix + checksumText));
    std::string section = std::string(kBeginPrefix) + kSignatureSection + '\n';
    section += std::string(kTypeLine) + '\n';
    section += kKeyIdStart + key.publicKey().id() + '\n';
    section += kValueStart + value + '\n';
    section += std::string(kEndPrefix) + kSignatureSection + '\n';
    return section;
}

void requireSignature(std::istream& in, const PublicKey& key) {
    const std::size_t sections = countLines(in, kBeginPrefix + std::string(kSignatureSection));
    if (sections == 0) {
        signatureError("no Signature section, which the key given requires");
    }
    if (sections > 1) {
        signatureError("more than one line BeginOfSignature");
    }
    const std::optional<std::string> text = endedSection(in, kSignatureSection);
    if (!text) {
        signatureError("section not ended before the end of the data");
    }
    const SignatureLines lines = parseSection(*text);
    if (lines.keyId != key.id()) {
        signatureError("made by the key " + lines.keyId + ", not by the key given (" + key.id() +
                       ")");
    }
    const std::optional<std::string> checksum = endedSection(in, kChecksumSection);
    if (!checksum) {
        signatureError("no ended Checksum section for it to sign");
    }
    if (!key.verifies(kSignedMessagePrefix + *checksum, lines.value)) {
        signatureError("does not match the Checksum section");
    }
}

} // namespace tzo::factoryinfo::tool
