// Verification of a section against the sum recorded for it in the "Checksum" section.
#include "tzo/factoryinfo.hpp"

#include "checksum_length.hpp"
#include "read_error.hpp"

#include <tzo/crypto.hpp>

#include <cstdint>
#include <stdexcept>

namespace tzo::factoryinfo {

namespace {

constexpr char kChecksumSection[] = "Checksum";
constexpr char kChecksumEndMarker[] = "EndOfChecksum";
constexpr char kTypeSuffix[] = "Type";
constexpr char kSumSuffix[] = "Sum";
constexpr char kSha256Type[] = "sha256";

constexpr char kUnendedMessage[] = "end of file reached before finding end of checksum section";
constexpr char kMissingEntryMessage[] = "Missing checksum entry";
constexpr char kUnsupportedSumMessage[] = "Unsupported sum";
constexpr char kMismatchMessage[] = "Calculated checksum do not match the provided one";

// Returns `c` with A-Z mapped to a-z, whatever the locale.
char toLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Returns true when `a` and `b` have the same length and equal characters ignoring A-Z case.
bool equalIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::string::size_type i = 0; i < a.size(); ++i) {
        if (toLowerAscii(a[i]) != toLowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// Returns the SHA-256 of `text` as hexadecimal digits, from the platform's crypto library.
std::string sha256Of(const std::string& text) {
    const std::uint32_t length = detail::checksumLength(text.size());
    return tzo::crypto::calculateSha256(reinterpret_cast<const std::uint8_t*>(text.data()), length);
}

} // namespace

bool checksumSection(std::istream& in, const std::string& name) {
    std::string lastLine;

    seekBeginOfSection(in, kChecksumSection);
    detail::throwIfReadError(in);
    if (in.eof()) {
        return false;
    }

    const std::map<std::string, std::string> entries =
        getSectionAsMap(in, kChecksumSection, lastLine);
    detail::throwIfReadError(in);
    if (in.eof() && lastLine != kChecksumEndMarker) {
        throw std::invalid_argument(kUnendedMessage);
    }

    const auto type = entries.find(name + kTypeSuffix);
    const auto sum = entries.find(name + kSumSuffix);
    if (type == entries.end() && sum == entries.end()) {
        return false;
    }
    if (type == entries.end() || sum == entries.end()) {
        throw std::invalid_argument(kMissingEntryMessage);
    }
    if (type->second != kSha256Type) {
        throw std::invalid_argument(kUnsupportedSumMessage);
    }

    const std::string text = getSectionAsString(in, name, lastLine);
    detail::throwIfReadError(in);
    if (!equalIgnoringCase(sha256Of(text), sum->second)) {
        throw std::invalid_argument(kMismatchMessage);
    }
    return true;
}

} // namespace tzo::factoryinfo
