// A section checked against the sum that the "Checksum" section records for it.
#include <tzo/factoryinfo.hpp>

#include "checksum_length.hpp"
#include "test_support.hpp"

#include <cctype>
#include <sstream>

namespace tzo::factoryinfo {
namespace {

using test::checksumSectionFor;
using test::FaultyBuffer;
using test::sha256Hex;

const std::string kBody = "serial=42\nmac=00:11:22:33:44:55\n";
const std::string kSection = "BeginOfA\n" + kBody + "EndOfA\n";
const std::string kSum = sha256Hex(kBody);

// Returns `text` with a-z in upper case.
std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Returns "true", "false" or the message that checksumSection throws for section "A" of `data`.
std::string outcome(const std::string& data, const std::string& name = "A") {
    std::istringstream in(data);
    try {
        return checksumSection(in, name) ? "true" : "false";
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
}

TEST(ChecksumSection, VerifiesOrExplainsWhyNot) {
    const std::string unended = "end of file reached before finding end of checksum section";
    const std::string missing = "Missing checksum entry";
    const std::string unsupported = "Unsupported sum";
    const std::string mismatch = "Calculated checksum do not match the provided one";
    const struct {
        const char* fault;
        std::string data;
        std::string expected;
    } cases[] = {
        {"matching sum", kSection + checksumSectionFor("A", kBody), "true"},
        {"checksum section first", checksumSectionFor("A", kBody) + kSection, "true"},
        {"sum in upper case",
         kSection + "BeginOfChecksum\nATypa=x\nAType=sha256\nASum=" + upper(kSum) +
             "\nEndOfChecksum\n",
         "true"},
        {"no checksum section", kSection, "false"},
        {"entries for other sections only", kSection + checksumSectionFor("B", kBody), "false"},
        {"checksum section after the data end line",
         kSection + "EndOfData\n" + checksumSectionFor("A", "x"), "false"},
        {"checksum section cut by the data end line",
         kSection + "BeginOfChecksum\nAType=sha256\nASum=" + kSum + "\nEndOfData\n", unended},
        {"checksum section cut by the physical end",
         kSection + "BeginOfChecksum\nAType=sha256\nASum=" + kSum, unended},
        {"type without sum", kSection + "BeginOfChecksum\nAType=sha256\nEndOfChecksum\n", missing},
        {"sum without type", kSection + "BeginOfChecksum\nASum=" + kSum + "\nEndOfChecksum\n",
         missing},
        {"type in upper case",
         kSection + "BeginOfChecksum\nAType=SHA256\nASum=" + kSum + "\nEndOfChecksum\n",
         unsupported},
        {"CR LF checksum entries",
         kSection + "BeginOfChecksum\nAType=sha256\r\nASum=" + kSum + "\r\nEndOfChecksum\n",
         unsupported},
        {"wrong sum", kSection + checksumSectionFor("A", kBody + "x"), mismatch},
        {"sum with a trailing blank",
         kSection + "BeginOfChecksum\nAType=sha256\nASum=" + kSum + " \nEndOfChecksum\n", mismatch},
        {"first of two sums counts",
         kSection + "BeginOfChecksum\nAType=sha256\nASum=" + sha256Hex("") + "\nASum=" + kSum +
             "\nEndOfChecksum\n",
         mismatch},
        {"missing section summed as empty text", checksumSectionFor("A", ""), "true"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outcome(c.data), c.expected) << c.fault;
    }
}

TEST(ChecksumSection, EmptyNameUsesBareTypeAndSumKeys) {
    const std::string data = "BeginOf\n" + kBody + "EndOf\n" + checksumSectionFor("", kBody);
    EXPECT_EQ(outcome(data, ""), "true");
}

TEST(ChecksumSection, ReportsReadErrorsInsteadOfMissingSums) {
    const std::string sectionFirst = kSection + checksumSectionFor("A", kBody);
    const std::string checksumFirst = checksumSectionFor("A", kBody) + kSection;
    const struct {
        const char* fault;
        std::string data;
        FaultyBuffer::Fault kind;
        std::size_t faultAt;
    } cases[] = {
        {"failed rewind", sectionFirst, FaultyBuffer::Fault::SeekFault, 0},
        {"read error before the checksum section", sectionFirst, FaultyBuffer::Fault::ReadFault, 3},
        {"read error inside the checksum section", sectionFirst, FaultyBuffer::Fault::ReadFault,
         kSection.size() + 20},
        {"read error inside the summed section", checksumFirst, FaultyBuffer::Fault::ReadFault,
         checksumFirst.size() - 5},
    };
    for (const auto& c : cases) {
        FaultyBuffer buffer(c.data, c.kind, c.faultAt);
        std::istream in(&buffer);
        EXPECT_INVALID_ARGUMENT(checksumSection(in, "A"), "error reading factory data");
    }
}

TEST(ChecksumLength, RefusesWhatTheCryptoCallCannotTake) {
    EXPECT_EQ(detail::checksumLength(0), 0u);
    EXPECT_EQ(detail::checksumLength(0xffffffffu), 0xffffffffu);
    EXPECT_INVALID_ARGUMENT(detail::checksumLength(0x100000000u), "section too large to checksum");
}

} // namespace
} // namespace tzo::factoryinfo
