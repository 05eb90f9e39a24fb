// The "Factoryinfo" section read into a verified key/value object.
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace tzo::factoryinfo {
namespace {

using test::checksumSectionFor;
using test::kNoFault;
using test::kSeekFault;

const std::string kBody = "SerialNumber=GW4-0001\nMacAddress=00:1A:2B:3C:4D:5E\nEmpty=\n";
const std::string kSection = "BeginOfFactoryinfo\n" + kBody + "EndOfFactoryinfo\n";
const std::string kVerified = kSection + checksumSectionFor("Factoryinfo", kBody) + "EndOfData\n";

// Returns the checksum state and the values of a few keys, or the message thrown.
std::string describe(std::istream& in) {
    const FactoryInfo info(in);
    return std::string(info.isChecksumValid() ? "verified" : "unverified") + " " +
           info["SerialNumber"] + " [" + info["Empty"] + "] [" + info["Absent"] + "] [" +
           info["serialnumber"] + "] " + std::to_string(info.entries().size());
}

TEST(FactoryInfo, ReadsVerifiedPairsOrSaysWhyNot) {
    const std::string notFound = "End of data reached before finding factory info";
    const std::string unended = "end of file reached before finding end of factory info";
    const std::string readError = "error reading factory data";
    const struct {
        const char* input;
        std::string data;
        std::size_t fault;
        std::string outcome;
    } cases[] = {
        {"verified", kVerified, kNoFault, "verified GW4-0001 [] [] [] 3"},
        {"no sum recorded", kSection + checksumSectionFor("Other", ""), kNoFault,
         "unverified GW4-0001 [] [] [] 3"},
        {"no section", "BeginOfOther\nEndOfOther\n", kNoFault, notFound},
        {"data end line before the section", "EndOfData\n" + kSection, kNoFault, notFound},
        {"begin marker as last line without LF", "BeginOfFactoryinfo", kNoFault, notFound},
        {"data end line inside the section", "BeginOfFactoryinfo\nEndOfData\nEndOfFactoryinfo\n",
         kNoFault, unended},
        {"end marker with CR", "BeginOfFactoryinfo\na=1\nEndOfFactoryinfo\r\n", kNoFault, unended},
        {"wrong sum", kSection + checksumSectionFor("Factoryinfo", kBody + "x"), kNoFault,
         "Calculated checksum do not match the provided one"},
        {"failed rewind", kVerified, kSeekFault, readError},
        // The checksum pass stops before the fault, so only the object's own check can see it.
        {"read error inside the section", "BeginOfChecksum\nEndOfChecksum\n" + kSection, 60,
         readError},
        {"read error inside the checksum section", kVerified, kVerified.size() - 30, readError},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(test::outcomeOf(c.data, c.fault, describe), c.outcome) << c.input;
    }
}

TEST(FactoryInfo, AbsentKeysShareAnEmptyStringThatOutlivesTheObject) {
    const std::string* absent = nullptr;
    test::outcomeOf(kSection, kNoFault, [&](std::istream& in) {
        absent = &FactoryInfo(in)["Absent"];
        return "";
    });
    EXPECT_EQ(*absent, "");
}

TEST(FactoryInfo, RefusesADirectoryOpenedAsFactoryData) {
    std::ifstream directory("/");
    std::string message;
    try {
        FactoryInfo{directory};
    } catch (const std::invalid_argument& error) {
        message = error.what();
    }
    EXPECT_EQ(message, "error reading factory data");
}

} // namespace
} // namespace tzo::factoryinfo
