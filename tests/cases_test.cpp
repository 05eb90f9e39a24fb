// Runs each file of tests/cases/ and compares all that it gives with tests/cases.expected, where
// every result and message is written out (see test_support.hpp). TZO_UPDATE_CASES=1 rewrites the
// baseline instead: review every changed line before committing it.
#include "checksum_length.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace tzo::factoryinfo::test {
namespace {

// Returns true for a case that gives a key (tool-key-*, tool-sign-key-*) when the tool is built
// without signatures: it refuses every key before it reads anything, as
// tzo-factoryinfo.without-signatures checks, so such a case stands as the baseline has it.
bool needsSignatures([[maybe_unused]] const std::string& name) {
#ifdef TZO_FACTORYINFO_SIGNATURES
    return false;
#else
    return name.rfind("tool-key-", 0) == 0 || name.rfind("tool-sign-key-", 0) == 0;
#endif
}

// Returns the part of `baseline` for the case `name`: its line "== NAME" and those up to the next
// such line.
std::string baselineOf(const std::string& baseline, const std::string& name) {
    const std::size_t start = baseline.find("== " + name + "\n");
    if (start == std::string::npos)
        return "";
    const std::size_t next = baseline.find("\n== ", start);
    return baseline.substr(start, next == std::string::npos ? next : next + 1 - start);
}

TEST(Cases, GiveWhatTheBaselineSays) {
    std::ostringstream expected;
    expected << std::ifstream(TZO_CASES_BASELINE, std::ios_base::binary).rdbuf();
    std::set<std::filesystem::path> files;
    for (const auto& file : std::filesystem::directory_iterator(TZO_CASES_DIR))
        files.insert(file.path());
    std::string actual;
    for (const std::filesystem::path& file : files) {
        std::ifstream in(file, std::ios_base::binary);
        std::string first, data;
        std::getline(in, first);
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        const std::string name = file.filename().string();
        actual += needsSignatures(name) ? baselineOf(expected.str(), name)
                                        : "== " + name + "\n" + runCase(name, first, data);
    }
    if (std::getenv("TZO_UPDATE_CASES") != nullptr)
        std::ofstream(TZO_CASES_BASELINE, std::ios_base::binary) << actual;
    EXPECT_EQ(actual, expected.str());
}

// getLine passes a failed read on as std::getline does: bad set, the part read kept, and the
// buffer's exception thrown when the caller enabled exceptions for bad. No section is summed in
// part: the crypto library takes a 32-bit length.
TEST(Faults, ReadFaultsAndLengthsBeyondTheCryptoCall) {
    const std::pair<std::size_t, std::ios_base::iostate> faults[] = {
        {0, std::ios_base::goodbit}, {4, std::ios_base::goodbit}, {4, std::ios_base::badbit}};
    std::string lines;
    for (const auto& [fault, exceptions] : faults) {
        TestBuffer buffer("ab\ncd\n", kNever, fault);
        std::istream in(&buffer);
        in.exceptions(exceptions);
        lines += linesOf(in) + "\n";
    }
    EXPECT_EQ(lines,
              " \"\" fail bad\n \"ab\" \"c\" bad\n \"ab\" threw injected read fault \"c\" bad\n");
    EXPECT_EQ(detail::checksumLength(0xffffffffu), 0xffffffffu);
    EXPECT_EQ(
        outcomeOf(
            "", [](std::istream&) { return std::to_string(detail::checksumLength(0x100000000u)); }),
        "!section too large to checksum");
}

} // namespace
} // namespace tzo::factoryinfo::test
