// One test per file of tests/cases/, named after its folder and name (each byte that a test
// name cannot hold made "_"): Cases.GivesItsBaseline/tool_seal_size_1K for tool/seal-size-1K.
// Each compares what its case gives with the case's own baseline, tests/expected/FOLDER/NAME, so
// that a failure shows that case's difference alone. The folder says what a case drives:
//   lines/      the line rules (end of data, CR, blank lines, a last line without LF, empty
//               data): each line that getLine reads, with the flags it sets, then as library/;
//   library/    the reading functions, the objects and the C API on a section of the data;
//   rewinds/    the same, where a pass over the data that cannot rewind is the point;
//   tool/       the tool;
//   tool-keys/  the tool given a key, which a tool built without signatures refuses first;
//   tool-usage/ the tool's refusals of its command line: each line of a case gives the arguments
//               of one run, on no data, and the baseline has one line for each run.
//
// A case file: the first line names a section, or, for the tool, gives the tool's
// arguments, which follow "--file -" and are split as a POSIX shell splits words that only single
// quotes quote: blanks (space, tab) separate them, and text between single quotes is taken as
// it is, so '' is an empty argument and 'Product Name' one argument (splitArguments in
// test_support.hpp). The rest of the file is the factory data. Data that is the one line
// "@sample" stands for the bytes of examples/factory-data.txt, so that no case holds a copy of
// it; scripts/fuzz.sh puts the sample in its place in the fuzz seed corpus too.
//
// What a case gives (written out by test_support.hpp, every byte visible): for the library,
// the section's text and pairs with the last line read, and what checksumSection, Section and,
// for Factoryinfo, FactoryInfo give, with the byte offset below which a read fault and the byte
// count below which a failing rewind give the read error. For the tool: its exit status, standard
// output and standard error, with the version the build was configured with written
// @PROJECT_VERSION@, so that project() alone sets it.
#include "checksum_length.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace tzo::factoryinfo::test {
namespace {

namespace fs = std::filesystem;

// The data of a case that runs on the whole of examples/factory-data.txt.
constexpr char kSampleReference[] = "@sample\n";
// What the baselines hold in place of the version that the build was configured with.
constexpr char kVersionPlaceholder[] = "@PROJECT_VERSION@";

// Returns the bytes of the file at `path`; none when it cannot be read.
std::string contentsOf(const fs::path& path) {
    std::ostringstream contents;
    contents << std::ifstream(path, std::ios_base::binary).rdbuf();
    return contents.str();
}

// Returns `text` with the version that the build was configured with made kVersionPlaceholder.
std::string withVersionPlaceholder(std::string text) {
    const std::string version = TZO_VERSION;
    for (std::size_t at = text.find(version); at != std::string::npos; at = text.find(version, at))
        text.replace(at, version.size(), kVersionPlaceholder);
    return text;
}

// Returns the paths of the files below `dir`, relative to it, in order; none where the source
// tree is not, as on the emulated board, which runs only the device tests.
std::vector<std::string> filesBelow(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code absent;
    for (const fs::directory_entry& file : fs::recursive_directory_iterator(dir, absent))
        if (file.is_regular_file())
            names.push_back(file.path().lexically_relative(dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

// Returns, for each line of `runs`, the line and what the tool gives run with it as its arguments
// on no data, on a line of its own.
std::string toolRuns(const std::string& runs) {
    std::istringstream lines(runs);
    std::string results;
    for (std::string arguments; std::getline(lines, arguments);) {
        std::string result = toolCase(arguments, "");
        std::replace(result.begin(), result.end(), '\n', ' ');
        results += shown(arguments) + ": " + result.substr(0, result.size() - 1) + "\n";
    }
    return results;
}

// Returns what the case at `name`, FOLDER/NAME, gives, as its baseline holds it.
std::string resultOf(const std::string& name) {
    const std::string folder = name.substr(0, name.find('/'));
    const std::string input = contentsOf(fs::path(TZO_CASES_DIR) / name);
    if (folder == "tool-usage")
        return toolRuns(input);
    const std::size_t lf = std::min(input.find('\n'), input.size());
    const std::string first = input.substr(0, lf);
    std::string data = input.substr(std::min(lf + 1, input.size()));
    if (data == kSampleReference)
        data = contentsOf(TZO_SAMPLE);
    if (folder == "tool" || folder == "tool-keys")
        return withVersionPlaceholder(toolCase(first, data));
    return libraryCase(first, data, folder == "lines", folder == "rewinds");
}

// Returns the name of the test of the case file named `info.param`.
std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class Cases : public testing::TestWithParam<std::string> {};

// TZO_UPDATE_CASES=1 writes what the case gives as its baseline first: such a run compares the
// baseline with itself and always passes, so every line that it changes must be reviewed
// (git diff tests/expected/) before it is committed. A new case gets its baseline so too.
TEST_P(Cases, GivesItsBaseline) {
    ASSERT_TRUE(fs::exists(fs::path(TZO_CASES_DIR) / GetParam()))
        << "case removed: build again, so that the list of tests follows tests/cases/";
#ifndef TZO_FACTORYINFO_SIGNATURES
    // Built without signatures, the library refuses every key (the program test checks that), so
    // the cases that give one do not apply.
    if (GetParam().rfind("tool-keys/", 0) == 0)
        GTEST_SKIP() << "the tool is built without signatures";
#endif
    const std::string actual = resultOf(GetParam());
    const fs::path baseline = fs::path(TZO_EXPECTED_DIR) / GetParam();
    if (std::getenv("TZO_UPDATE_CASES") != nullptr)
        std::ofstream(baseline, std::ios_base::binary) << actual;
    ASSERT_TRUE(fs::exists(baseline))
        << "no baseline " << baseline << ": TZO_UPDATE_CASES=1 writes it, to be reviewed";
    EXPECT_EQ(actual, contentsOf(baseline));
}

INSTANTIATE_TEST_SUITE_P(, Cases, testing::ValuesIn(filesBelow(TZO_CASES_DIR)), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Cases);

// A baseline left behind by a case renamed or removed would never be compared again.
TEST(Baselines, BelongToACaseEach) {
    for (const std::string& baseline : filesBelow(TZO_EXPECTED_DIR))
        EXPECT_TRUE(fs::exists(fs::path(TZO_CASES_DIR) / baseline))
            << "baseline without a case: " << baseline;
}

// getLine passes a failed read on as std::getline does: bad set, the part read kept, and the
// buffer's exception thrown when the caller enabled exceptions for bad.
TEST(Faults, GetLinePassesAFailedReadOnAsStdGetlineDoes) {
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
}

// No section is summed in part: the crypto library takes a 32-bit length.
TEST(Faults, ASectionLongerThanTheCryptoLibraryTakesIsRefused) {
    EXPECT_EQ(detail::checksumLength(0xffffffffu), 0xffffffffu);
    const Read tooLong = [](std::istream&) {
        return std::to_string(detail::checksumLength(0x100000000u));
    };
    EXPECT_EQ(outcomeOf("", tooLong), "!section too large to checksum");
}

// Memory running out while the tool reads its command line is a failure like any later one: the
// copy of an argument of 64 MiB takes more than the room left.
TEST(Tool, RunningOutOfMemoryOnTheCommandLineIsAFailure) {
    std::string key(64 << 20, 'k');
    char program[] = "tzo-factoryinfo", get[] = "get";
    char* argv[] = {program, get, key.data(), nullptr};
    const int status = statusInLittleRoom([&]() noexcept {
        std::ostringstream out, err;
        const int status = tool::run(3, argv, -1, out, err);
        return out.str().empty() && err.str() == "tzo-factoryinfo: out of memory\n" ? status
                                                                                    : kOtherOutput;
    });
    if (status == kNoLimit)
        GTEST_SKIP() << "the address space cannot be limited here";
    EXPECT_EQ(status, 1);
}

} // namespace
} // namespace tzo::factoryinfo::test
