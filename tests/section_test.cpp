// Any named section read into a verified text object.
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <fstream>
#include <sstream>

namespace tzo::factoryinfo {
namespace {

using test::checksumSectionFor;
using test::FaultyBuffer;

const std::string kCalibration = "ch1 68 66\r\nch6 70 68\n";
const std::string kData = "BeginOfCalibration\n" + kCalibration + "EndOfCalibration\n" +
                          "BeginOfFactoryinfo\nSerialNumber=7\nEndOfFactoryinfo\n" +
                          checksumSectionFor("Calibration", kCalibration) + "EndOfData\n";

TEST(Section, ReturnsTheVerifiedSectionText) {
    const struct {
        const char* fault;
        std::string data;
        std::string name;
        std::string text;
        bool verified;
    } cases[] = {
        {"verified section", kData, "Calibration", kCalibration, true},
        {"section without recorded sum", kData, "Factoryinfo", "SerialNumber=7\n", false},
        {"empty body summed over no bytes", "BeginOfA\nEndOfA\n" + checksumSectionFor("A", ""), "A",
         "", true},
        {"end marker as last line without LF", "BeginOfA\nx\nEndOfA", "A", "x\n", false},
        {"section Data ends at the data end line", "BeginOfData\nx\nEndOfData\nBeginOfChecksum\n",
         "Data", "x\n", false},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.data);
        const Section section(in, c.name);
        EXPECT_EQ(section.dump(), c.text) << c.fault;
        EXPECT_EQ(section.isChecksumValid(), c.verified) << c.fault;
    }
}

TEST(Section, RefusesMissingUnendedOrUnverifiedSections) {
    const std::string unended = "end of file reached before finding end of section";
    const struct {
        const char* fault;
        std::string data;
        std::string message;
    } cases[] = {
        {"missing section", kData, unended},
        {"section cut by the data end line", "BeginOfA\nx\nEndOfData\nEndOfA\n", unended},
        {"section cut by the physical end", "BeginOfA\nx\n", unended},
        {"wrong sum", "BeginOfA\nx\nEndOfA\n" + checksumSectionFor("A", "y\n"),
         "Calculated checksum do not match the provided one"},
        {"unsupported sum", "BeginOfA\nEndOfA\nBeginOfChecksum\nAType=md5\nASum=0\nEndOfChecksum\n",
         "Unsupported sum"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.data);
        SCOPED_TRACE(c.fault);
        EXPECT_INVALID_ARGUMENT((Section{in, "A"}), c.message.c_str());
    }
}

TEST(Section, RefusesPartialTextAfterAReadError) {
    for (const std::size_t faultAt : {std::size_t{0}, std::size_t{25}, kData.size() - 20}) {
        FaultyBuffer buffer(kData, FaultyBuffer::Fault::ReadFault, faultAt);
        std::istream in(&buffer);
        SCOPED_TRACE(faultAt);
        EXPECT_INVALID_ARGUMENT((Section{in, "Calibration"}), "error reading factory data");
    }
    FaultyBuffer unseekable(kData, FaultyBuffer::Fault::SeekFault);
    std::istream in(&unseekable);
    EXPECT_INVALID_ARGUMENT((Section{in, "Calibration"}), "error reading factory data");
    std::ifstream directory("/");
    EXPECT_INVALID_ARGUMENT((Section{directory, "Calibration"}), "error reading factory data");
}

} // namespace
} // namespace tzo::factoryinfo
