// Verification of a section against the sum recorded for it in the "Checksum" section.
#include "tzo/factoryinfo.hpp"

#include "checksum_length.hpp"
#include "error.hpp"
#include "markers.hpp"
#include "read_error.hpp"

#include <tzo/crypto.hpp>

#include <cxxabi.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>

namespace tzo::factoryinfo {

namespace {

constexpr char kTypeSuffix[] = "Type";
constexpr char kSumSuffix[] = "Sum";
constexpr char kSha256Type[] = "sha256";

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

// Sets `value` to the value of `line` when it is a key/value line whose key is `key`. The key
// ends at the line's first "=", as in a key/value reading, so a key holding "=" never matches.
// Returns true when it did.
bool takeEntry(const std::string& line, const std::string& key, std::string& value) {
    if (line.find('=') != key.size() || std::memcmp(line.data(), key.data(), key.size()) != 0) {
        return false;
    }
    value = line.substr(key.size() + 1);
    return true;
}

// Returns the SHA-256 of `text` as hexadecimal digits, from the platform's crypto library.
// Memory running out there is std::bad_alloc, as anywhere in the library; anything else that
// library throws is its failure (Error "crypto library failed to compute SHA-256"), never a
// verdict on the data. A thread's cancellation goes on, as it must.
std::string sha256Of(const std::string& text) {
    const std::uint32_t length = detail::checksumLength(text.size());
    try {
        return tzo::crypto::calculateSha256(reinterpret_cast<const std::uint8_t*>(text.data()),
                                            length);
    } catch (const abi::__forced_unwind&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        detail::fail(TZO_FI_CRYPTO_FAILED);
    }
}

} // namespace

bool checksumSection(std::istream& in, const std::string& name) {
    seekBeginOfSection(in, kChecksumSection);
    detail::throwIfReadError(in);
    if (in.eof()) {
        return false;
    }

    // Only the two entries of `name` are kept, each from its first line, as a key/value reading
    // of the section would give them: the section may hold the sums of many other sections.
    const std::string typeKey = name + kTypeSuffix;
    const std::string sumKey = name + kSumSuffix;
    bool hasType = false;
    bool hasSum = false;
    std::string type;
    std::string sum;
    std::string lastLine;
    while (getLine(in, lastLine) && !detail::isEndMarker(lastLine, kChecksumSection)) {
        hasType = hasType || takeEntry(lastLine, typeKey, type);
        hasSum = hasSum || takeEntry(lastLine, sumKey, sum);
    }
    detail::throwIfReadError(in);
    if (in.eof() && !detail::isEndMarker(lastLine, kChecksumSection)) {
        detail::fail(TZO_FI_CHECKSUM_UNENDED);
    }

    if (!hasType && !hasSum) {
        return false;
    }
    if (!hasType || !hasSum) {
        detail::fail(TZO_FI_MISSING_ENTRY);
    }
    if (std::string_view(type) != kSha256Type) {
        detail::fail(TZO_FI_UNSUPPORTED_SUM);
    }

    const std::string text = getSectionAsString(in, name, lastLine);
    detail::throwIfReadError(in);
    if (!equalIgnoringCase(sha256Of(text), sum)) {
        detail::fail(TZO_FI_CHECKSUM_MISMATCH);
    }
    return true;
}

std::string checksumEntries(const std::string& name, const std::string& text) {
    std::string entries = name;
    entries.append(kTypeSuffix).append("=").append(kSha256Type).append("\n");
    entries.append(name).append(kSumSuffix).append("=").append(sha256Of(text)).append("\n");
    return entries;
}

} // namespace tzo::factoryinfo
