// Helpers shared by the fuzz targets: how an input is split into a section name and data, the
// one kind of exception the library may throw, and SHA-256 computed without the library.
#ifndef TZO_FACTORYINFO_FUZZ_SUPPORT_HPP
#define TZO_FACTORYINFO_FUZZ_SUPPORT_HPP

#include "test_support.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

namespace tzo::factoryinfo::fuzz {

// A fuzz input: its first line names a section, the rest is factory data.
struct Input {
    std::string name;
    std::string data;
};

// Returns `bytes` split at the first LF into a section name and the data after it; without an
// LF, the whole input is the name and the data is empty.
inline Input splitInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string all(reinterpret_cast<const char*>(bytes), size);
    const std::string::size_type lf = all.find('\n');
    if (lf == std::string::npos) {
        return {all, ""};
    }
    return {all.substr(0, lf), all.substr(lf + 1)};
}

// Prints `what` and aborts, so that libFuzzer records the input as a crash.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "property violated: %s\n", what.c_str());
    std::abort();
}

// Aborts with `what` unless `condition` holds.
inline void require(bool condition, const std::string& what) {
    if (!condition) {
        fail(what);
    }
}

// Returns true when `message` is one that the library documents.
inline bool isKnownMessage(const std::string& message) {
    static const std::set<std::string> known = {
        "unable to open factory file",
        "error reading factory data",
        "End of data reached before finding factory info",
        "end of file reached before finding end of factory info",
        "end of file reached before finding end of section",
        "end of file reached before finding end of checksum section",
        "Missing checksum entry",
        "Unsupported sum",
        "Calculated checksum do not match the provided one",
        "section too large to checksum",
    };
    return known.count(message) != 0;
}

// Returns what `call()` returns, or "!" followed by the message of the std::invalid_argument it
// throws. Aborts on an unknown message or on any other exception.
template <typename Call>
std::string outcomeOf(Call call) {
    try {
        return call();
    } catch (const std::invalid_argument& error) {
        require(isKnownMessage(error.what()), std::string("unknown message: ") + error.what());
        return std::string("!") + error.what();
    } catch (const std::exception& error) {
        fail(std::string("unexpected exception: ") + error.what());
    } catch (...) {
        fail("unexpected exception of unknown type");
    }
}

// SHA-256 as hexadecimal, computed with OpenSSL directly, as the tests compute it.
using test::sha256Hex;

// Returns `text` with A-Z in lower case.
inline std::string lowerAscii(std::string text) {
    for (char& c : text) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

// Returns the key/value pairs of the lines of `text` (each ended by LF): split at the first
// "=", lines without one skipped, the first value of a key kept.
inline std::map<std::string, std::string> pairsOfLines(const std::string& text) {
    std::map<std::string, std::string> pairs;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string line = text.substr(start, end - start);
        const std::string::size_type separator = line.find('=');
        if (separator != std::string::npos) {
            pairs.try_emplace(line.substr(0, separator), line.substr(separator + 1));
        }
    }
    return pairs;
}

} // namespace tzo::factoryinfo::fuzz

#endif // TZO_FACTORYINFO_FUZZ_SUPPORT_HPP
