// The "Factoryinfo" section read into a verified key/value object.
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <gtest/gtest.h>

namespace tzo::factoryinfo {
namespace {

using test::checksumSectionFor;

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
    const struct {
        const char* input;
        std::string data;
        std::string outcome;
    } cases[] = {
        {"verified", kVerified, "verified GW4-0001 [] [] [] 3"},
        {"no sum recorded", kSection + checksumSectionFor("Other", ""),
         "unverified GW4-0001 [] [] [] 3"},
        {"no section", "BeginOfOther\nEndOfOther\n", notFound},
        {"data end line before the section", "EndOfData\n" + kSection, notFound},
        {"begin marker as last line without LF", "BeginOfFactoryinfo", notFound},
        {"data end line inside the section", "BeginOfFactoryinfo\nEndOfData\nEndOfFactoryinfo\n",
         unended},
        {"end marker with CR", "BeginOfFactoryinfo\na=1\nEndOfFactoryinfo\r\n", unended},
        {"wrong sum", kSection + checksumSectionFor("Factoryinfo", kBody + "x"),
         "Calculated checksum do not match the provided one"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(test::outcomeOf(c.data, describe), c.outcome) << c.input;
    }
}

TEST(FactoryInfo, AbsentKeysShareAnEmptyStringThatOutlivesTheObject) {
    const std::string* absent = nullptr;
    test::outcomeOf(kSection, [&](std::istream& in) {
        absent = &FactoryInfo(in)["Absent"];
        return "";
    });
    EXPECT_EQ(*absent, "");
}

} // namespace
} // namespace tzo::factoryinfo
