// A section checked against the sum that the "Checksum" section records for it.
#include <tzo/factoryinfo.hpp>

#include "checksum_length.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

namespace tzo::factoryinfo {
namespace {

using test::checksumSectionFor;
using test::sha256Hex;

const std::string kBody = "serial=42\nmac=00:11:22:33:44:55\n";
const std::string kSection = "BeginOfA\n" + kBody + "EndOfA\n";
const std::string kSum = sha256Hex(kBody);

// Returns `text` with a-f in upper case.
std::string upper(std::string text) {
    for (char& c : text)
        c = (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    return text;
}

// Returns a "Checksum" section holding `entries` between its markers.
std::string checksums(const std::string& entries) {
    return "BeginOfChecksum\n" + entries + "EndOfChecksum\n";
}

TEST(ChecksumSection, VerifiesOrSaysWhyNot) {
    const std::string unended = "end of file reached before finding end of checksum section";
    const std::string missing = "Missing checksum entry";
    const std::string unsupported = "Unsupported sum";
    const std::string mismatch = "Calculated checksum do not match the provided one";
    const std::string verified = kSection + checksumSectionFor("A", kBody);
    const std::string checksumFirst = checksumSectionFor("A", kBody) + kSection;
    const struct {
        const char* input;
        std::string data;
        std::string outcome;
    } cases[] = {
        {"matching sum", verified, "true"},
        {"checksum section first", checksumFirst, "true"},
        {"sum in upper case", kSection + checksums("AType=sha256\nASum=" + upper(kSum) + "\n"),
         "true"},
        {"missing section summed as empty text", checksumSectionFor("A", ""), "true"},
        {"no checksum section", kSection, "false"},
        {"entries for other sections only", kSection + checksumSectionFor("AB", kBody), "false"},
        {"checksum section after the data end line",
         kSection + "EndOfData\n" + checksumSectionFor("A", ""), "false"},
        {"checksum section cut by the data end line",
         kSection + "BeginOfChecksum\nAType=sha256\nASum=" + kSum + "\nEndOfData\n", unended},
        {"checksum section cut by the physical end", kSection + "BeginOfChecksum\nAType=sha256\n",
         unended},
        {"type without sum", kSection + checksums("AType=sha256\n"), missing},
        {"sum without type", kSection + checksums("ASum=" + kSum + "\n"), missing},
        {"type in upper case", kSection + checksums("AType=SHA256\nASum=" + kSum + "\n"),
         unsupported},
        {"CR LF entries", kSection + checksums("AType=sha256\r\nASum=" + kSum + "\r\n"),
         unsupported},
        {"wrong sum", kSection + checksumSectionFor("A", kBody + "x"), mismatch},
        {"sum with a trailing blank", kSection + checksums("AType=sha256\nASum=" + kSum + " \n"),
         mismatch},
        {"first of two sums counts",
         kSection + checksums("AType=sha256\nASum=" + sha256Hex("") + "\nASum=" + kSum + "\n"),
         mismatch},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(test::outcomeOf(
                      c.data,
                      [](std::istream& in) { return checksumSection(in, "A") ? "true" : "false"; }),
                  c.outcome)
            << c.input;
    }
}

TEST(ChecksumSection, EmptyNameUsesBareTypeAndSumKeys) {
    const std::string data = "BeginOf\n" + kBody + "EndOf\n" + checksumSectionFor("", kBody);
    EXPECT_EQ(test::outcomeOf(
                  data, [](std::istream& in) { return std::to_string(checksumSection(in, "")); }),
              "1");
}

TEST(ChecksumLength, RefusesWhatTheCryptoCallCannotTake) {
    EXPECT_EQ(detail::checksumLength(0xffffffffu), 0xffffffffu);
    std::string message;
    try {
        detail::checksumLength(0x100000000u);
    } catch (const std::invalid_argument& error) {
        message = error.what();
    }
    EXPECT_EQ(message, "section too large to checksum");
}

} // namespace
} // namespace tzo::factoryinfo
