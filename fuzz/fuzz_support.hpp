// Helpers shared by the fuzz targets: the entry that splits an input into a section name and
// data, the one kind of exception the library may throw, written into outcomes as text so that
// results and errors compare alike, and the pairs of key/value lines. Include it in exactly one
// file of each target: it defines the entry.
#ifndef TZO_FACTORYINFO_FUZZ_SUPPORT_HPP
#define TZO_FACTORYINFO_FUZZ_SUPPORT_HPP

#include <tzo/factoryinfo.hpp>

#include "test_support.hpp" // also <algorithm>, <sstream>, <stdexcept> and <string>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace tzo::factoryinfo::fuzz {

// Checks the properties of one target on a fuzz input whose first line is `name` (the whole
// input when it has no LF) and the rest `data`. Each target defines it.
void checkInput(const std::string& name, const std::string& data);

// Prints `what` and aborts unless `condition` holds, so that libFuzzer records a crash.
inline void require(bool condition, const std::string& what) {
    if (condition)
        return;
    std::fprintf(stderr, "property violated: %s\n", what.c_str());
    std::abort();
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
        "section too large to checksum"};
    return known.count(message) != 0;
}

// Returns what `call()` returns, or "!" followed by the message of the std::invalid_argument it
// throws; aborts on an unknown message. Any other exception leaves the target and terminates
// the run, which libFuzzer records as a crash.
template <typename Call>
std::string outcomeOf(Call call) {
    try {
        return call();
    } catch (const std::invalid_argument& error) {
        require(isKnownMessage(error.what()), std::string("unknown message: ") + error.what());
        return std::string("!") + error.what();
    }
}

// Returns checksumSection's verdict on section `name` of `in`: "true", "false" or "!" and the
// message.
inline std::string verdictOf(std::istream& in, const std::string& name) {
    return outcomeOf([&] { return checksumSection(in, name) ? "true" : "false"; });
}

// Returns the key/value pairs of the lines of `text` (each ended by LF): split at the first
// "=", lines without one skipped, the first value of a key kept.
inline std::map<std::string, std::string> pairsOfLines(const std::string& text) {
    std::map<std::string, std::string> pairs;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::string::size_type separator = line.find('=');
        if (separator != std::string::npos)
            pairs.try_emplace(line.substr(0, separator), line.substr(separator + 1));
    }
    return pairs;
}

} // namespace tzo::factoryinfo::fuzz

// The entry that libFuzzer calls: splits the input into its first line and the rest and checks
// them. Returns 0, as libFuzzer expects.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(bytes), size);
    const std::string::size_type lf = std::min(input.find('\n'), input.size());
    tzo::factoryinfo::fuzz::checkInput(input.substr(0, lf),
                                       input.substr(std::min(lf + 1, input.size())));
    return 0;
}

#endif // TZO_FACTORYINFO_FUZZ_SUPPORT_HPP
