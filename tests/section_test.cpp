// Any named section read into a verified text object.
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <gtest/gtest.h>

namespace tzo::factoryinfo {
namespace {

using test::checksumSectionFor;
using test::kNoFault;
using test::kSeekFault;

const std::string kText = "ch1 68 66\r\nch6 70 68\n";
const std::string kData = "BeginOfA\n" + kText + "EndOfA\n" +
                          "BeginOfFactoryinfo\nb=7\nEndOfFactoryinfo\n" +
                          checksumSectionFor("A", kText) + "EndOfData\n";

TEST(Section, ReadsVerifiedTextOrSaysWhyNot) {
    const std::string unended = "end of file reached before finding end of section";
    const std::string readError = "error reading factory data";
    const struct {
        const char* input;
        std::string data;
        std::string name;
        std::size_t fault;
        std::string outcome;
    } cases[] = {
        {"verified section", kData, "A", kNoFault, kText + "|verified"},
        {"no sum recorded", kData, "Factoryinfo", kNoFault, "b=7\n|unverified"},
        {"empty body summed over no bytes", "BeginOfA\nEndOfA\n" + checksumSectionFor("A", ""), "A",
         kNoFault, "|verified"},
        {"end marker as last line without LF", "BeginOfA\nx\nEndOfA", "A", kNoFault,
         "x\n|unverified"},
        {"section Data ends at the data end line", "BeginOfData\nx\nEndOfData\n", "Data", kNoFault,
         "x\n|unverified"},
        {"missing section", kData, "B", kNoFault, unended},
        {"cut by the data end line", "BeginOfA\nx\nEndOfData\nEndOfA\n", "A", kNoFault, unended},
        {"cut by the physical end", "BeginOfA\nx\n", "A", kNoFault, unended},
        {"wrong sum", "BeginOfA\nx\nEndOfA\n" + checksumSectionFor("A", "y\n"), "A", kNoFault,
         "Calculated checksum do not match the provided one"},
        {"failed rewind", kData, "A", kSeekFault, readError},
        // The checksum pass stops before the fault, so only the object's own check can see it.
        {"read error inside the section", "BeginOfChecksum\nEndOfChecksum\n" + kData, "A", 40,
         readError},
        {"read error inside the checksum section", kData, "A", kData.size() - 20, readError},
    };
    for (const auto& c : cases) {
        const std::string outcome = test::outcomeOf(c.data, c.fault, [&](std::istream& in) {
            const Section section(in, c.name);
            return section.dump() + (section.isChecksumValid() ? "|verified" : "|unverified");
        });
        EXPECT_EQ(outcome, c.outcome) << c.input;
    }
}

} // namespace
} // namespace tzo::factoryinfo
