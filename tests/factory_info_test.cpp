// The "Factoryinfo" section read into a verified key/value object.
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <fstream>
#include <sstream>

namespace tzo::factoryinfo {
namespace {

using test::checksumSectionFor;
using test::FaultyBuffer;

const std::string kBody = "SerialNumber=GW4-0001\nMacAddress=00:1A:2B:3C:4D:5E\nEmpty=\n";
const std::string kSection = "BeginOfFactoryinfo\n" + kBody + "EndOfFactoryinfo\n";
const std::string kVerified = kSection + checksumSectionFor("Factoryinfo", kBody) + "EndOfData\n";

TEST(FactoryInfo, LooksValuesUpByExactKey) {
    std::istringstream in(kVerified);
    const FactoryInfo info(in);
    EXPECT_TRUE(info.isChecksumValid());
    EXPECT_EQ(info["SerialNumber"], "GW4-0001");
    EXPECT_EQ(info["MacAddress"], "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(info["Empty"], "");
    EXPECT_EQ(info["Absent"], "");
    EXPECT_EQ(info["serialnumber"], "");
    EXPECT_EQ(info["SerialNumber "], "");
    EXPECT_EQ(info.entries().size(), 3u);
}

TEST(FactoryInfo, AcceptsDataWithoutRecordedSum) {
    std::istringstream in(kSection + checksumSectionFor("Other", "x"));
    const FactoryInfo info(in);
    EXPECT_FALSE(info.isChecksumValid());
    EXPECT_EQ(info["SerialNumber"], "GW4-0001");
}

TEST(FactoryInfo, AbsentKeysShareOneEmptyStringThatOutlivesTheObject) {
    const std::string* absent = nullptr;
    {
        std::istringstream in(kSection);
        const FactoryInfo info(in);
        absent = &info["Absent"];
        EXPECT_EQ(&info["Other"], absent);
        EXPECT_TRUE(info.entries().count("SerialNumber") == 1 && info.entries().size() == 3);
    }
    EXPECT_EQ(*absent, "");
}

TEST(FactoryInfo, RefusesMalformedOrUnverifiedData) {
    const std::string notFound = "End of data reached before finding factory info";
    const std::string unended = "end of file reached before finding end of factory info";
    const struct {
        const char* fault;
        std::string data;
        std::string message;
    } cases[] = {
        {"no section", "BeginOfOther\nEndOfOther\n", notFound},
        {"empty data", "", notFound},
        {"data end line before the section", "EndOfData\n" + kSection, notFound},
        {"begin marker as last line without LF", "BeginOfFactoryinfo", notFound},
        {"data end line inside the section",
         "BeginOfFactoryinfo\na=1\nEndOfData\nEndOfFactoryinfo\n", unended},
        {"section cut by the physical end", "BeginOfFactoryinfo\na=1\n", unended},
        {"end marker with CR", "BeginOfFactoryinfo\na=1\nEndOfFactoryinfo\r\n", unended},
        {"wrong sum", kSection + checksumSectionFor("Factoryinfo", kBody + "x"),
         "Calculated checksum do not match the provided one"},
        {"missing sum entry", kSection + "BeginOfChecksum\nFactoryinfoType=sha256\nEndOfChecksum\n",
         "Missing checksum entry"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.data);
        SCOPED_TRACE(c.fault);
        EXPECT_INVALID_ARGUMENT(FactoryInfo{in}, c.message.c_str());
    }
}

TEST(FactoryInfo, RefusesPartialDataAfterAReadError) {
    const struct {
        const char* fault;
        FaultyBuffer::Fault kind;
        std::size_t faultAt;
    } cases[] = {
        {"failed rewind", FaultyBuffer::Fault::SeekFault, 0},
        {"read error inside the section", FaultyBuffer::Fault::ReadFault, 40},
        {"read error inside the checksum section", FaultyBuffer::Fault::ReadFault,
         kVerified.size() - 30},
    };
    for (const auto& c : cases) {
        FaultyBuffer buffer(kVerified, c.kind, c.faultAt);
        std::istream in(&buffer);
        SCOPED_TRACE(c.fault);
        EXPECT_INVALID_ARGUMENT(FactoryInfo{in}, "error reading factory data");
    }
}

TEST(FactoryInfo, RefusesADirectoryOpenedAsFactoryData) {
    std::ifstream directory("/");
    ASSERT_TRUE(directory.is_open());
    EXPECT_INVALID_ARGUMENT(FactoryInfo{directory}, "error reading factory data");
}

} // namespace
} // namespace tzo::factoryinfo
