// Any named section read into a verified text object.
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <gtest/gtest.h>

namespace tzo::factoryinfo {
namespace {

using test::checksumSectionFor;

const std::string kText = "ch1 68 66\r\nch6 70 68\n";
const std::string kData = "BeginOfA\n" + kText + "EndOfA\n" +
                          "BeginOfFactoryinfo\nb=7\nEndOfFactoryinfo\n" +
                          checksumSectionFor("A", kText) + "EndOfData\n";

TEST(Section, ReadsVerifiedTextOrSaysWhyNot) {
    const std::string unended = "end of file reached before finding end of section";
    const struct {
        const char* input;
        std::string data;
        std::string name;
        std::string outcome;
    } cases[] = {
        {"verified section", kData, "A", kText + "|verified"},
        {"no sum recorded", kData, "Factoryinfo", "b=7\n|unverified"},
        {"empty body summed over no bytes", "BeginOfA\nEndOfA\n" + checksumSectionFor("A", ""), "A",
         "|verified"},
        {"end marker as last line without LF", "BeginOfA\nx\nEndOfA", "A", "x\n|unverified"},
        {"section Data ends at the data end line", "BeginOfData\nx\nEndOfData\n", "Data",
         "x\n|unverified"},
        {"missing section", kData, "B", unended},
        {"cut by the data end line", "BeginOfA\nx\nEndOfData\nEndOfA\n", "A", unended},
        {"cut by the physical end", "BeginOfA\nx\n", "A", unended},
        {"wrong sum", "BeginOfA\nx\nEndOfA\n" + checksumSectionFor("A", "y\n"), "A",
         "Calculated checksum do not match the provided one"},
    };
    for (const auto& c : cases) {
        const std::string outcome = test::outcomeOf(c.data, [&](std::istream& in) {
            const Section section(in, c.name);
            return section.dump() + (section.isChecksumValid() ? "|verified" : "|unverified");
        });
        EXPECT_EQ(outcome, c.outcome) << c.input;
    }
}

} // namespace
} // namespace tzo::factoryinfo
