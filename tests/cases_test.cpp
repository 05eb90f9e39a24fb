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

TEST(Cases, GiveWhatTheBaselineSays) {
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
        actual += "== " + name + "\n" + runCase(name, first, data);
    }
    if (std::getenv("TZO_UPDATE_CASES") != nullptr)
        std::ofstream(TZO_CASES_BASELINE, std::ios_base::binary) << actual;
    std::ostringstream expected;
    expected << std::ifstream(TZO_CASES_BASELINE, std::ios_base::binary).rdbuf();
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
