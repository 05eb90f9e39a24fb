// Read faults at every point of a run: the objects and checksumSection, reading realistic data
// through a stream that fails at one byte offset or one rewind, must give either their result
// on the intact data or "error reading factory data", and never a result built from part of it.
#include <tzo/factoryinfo.hpp>

#include "read_once.hpp"
#include "sample_data.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace tzo::factoryinfo {
namespace {

using test::checksumSectionFor;

const std::string kReadError = "error reading factory data";

// Returns the offset just past the first line `line` of `data` and its LF, if it has one.
std::size_t endOfLine(const std::string& data, const std::string& line) {
    for (std::size_t start = 0;;) {
        const std::size_t lf = data.find('\n', start);
        const std::size_t end = lf == std::string::npos ? data.size() : lf;
        if (data.compare(start, end - start, line) == 0)
            return lf == std::string::npos ? end : end + 1;
        if (lf == std::string::npos)
            return std::string::npos;
        start = lf + 1;
    }
}

using Read = std::function<std::string(std::istream&)>;

// Returns a reader giving checksumSection's verdict on section `name`.
Read verdict(const std::string& name) {
    return [name](std::istream& in) { return checksumSection(in, name) ? "true" : "false"; };
}

// Returns a reader giving the text and checksum flag of Section(in, `name`).
Read section(const std::string& name) {
    return [name](std::istream& in) {
        const Section object(in, name);
        return object.dump() + (object.isChecksumValid() ? "|true" : "|false");
    };
}

// Returns the pairs and checksum flag of FactoryInfo(in).
std::string factoryInfo(std::istream& in) {
    const FactoryInfo info(in);
    std::string outcome = info.isChecksumValid() ? "true" : "false";
    for (const auto& pair : info.entries())
        outcome += "|" + pair.first + "=" + pair.second;
    return outcome;
}

TEST(ReadFault, GivesTheIntactResultOrAReadErrorAtEveryOffset) {
    const std::string sample = test::sampleData();
    ASSERT_NE(sample.find("EndOfData"), std::string::npos) << TZO_SAMPLE_FACTORY_DATA;
    const std::string calibration = "ch1 68 66\r\nch6 70 68\r\n";
    // The checksum section first, CR LF in a body, and a last line without LF.
    const std::string checksumFirst = checksumSectionFor("RadioCalibration", calibration) +
                                      "BeginOfRadioCalibration\n" + calibration +
                                      "EndOfRadioCalibration\nBeginOfFactoryinfo\nSerial=1\n"
                                      "EndOfFactoryinfo";
    // A wrong sum for one section, and none at all for the other.
    const std::string wrongSum = "BeginOfFactoryinfo\nSerial=2\nEndOfFactoryinfo\n"
                                 "BeginOfRadioCalibration\n" +
                                 calibration + "EndOfRadioCalibration\n" +
                                 checksumSectionFor("RadioCalibration", "") + "EndOfData\n";
    const struct {
        const char* input;
        const std::string& data;
        Read read;
        std::string lastLineNeeded; // intact results need the data up to the end of this line
    } cases[] = {
        {"sample: FactoryInfo", sample, factoryInfo, "EndOfChecksum"},
        {"sample: Section Factoryinfo", sample, section("Factoryinfo"), "EndOfChecksum"},
        {"sample: Section RadioCalibration", sample, section("RadioCalibration"), "EndOfChecksum"},
        {"sample: missing Section", sample, section("Missing"), "EndOfData"},
        {"sample: checksumSection", sample, verdict("RadioCalibration"), "EndOfChecksum"},
        {"sample: FactoryInfo as the device is read", sample,
         [](std::istream& in) {
             detail::ReadOnceData once(in.rdbuf());
             return factoryInfo(once.stream());
         },
         "EndOfChecksum"},
        {"checksum first: FactoryInfo", checksumFirst, factoryInfo, "EndOfFactoryinfo"},
        {"checksum first: Section", checksumFirst, section("RadioCalibration"),
         "EndOfRadioCalibration"},
        {"checksum first: checksumSection", checksumFirst, verdict("RadioCalibration"),
         "EndOfRadioCalibration"},
        {"wrong sum: FactoryInfo", wrongSum, factoryInfo, "EndOfChecksum"},
        {"wrong sum: Section", wrongSum, section("RadioCalibration"), "EndOfChecksum"},
        {"wrong sum: checksumSection", wrongSum, verdict("RadioCalibration"), "EndOfChecksum"},
    };
    for (const auto& c : cases) {
        const std::string intact = test::outcomeOf(c.data, test::kNoFault, c.read);
        ASSERT_NE(intact, kReadError) << c.input;
        // A fault at any offset below the end of the last line needed must be seen.
        const std::size_t needed = endOfLine(c.data, c.lastLineNeeded);
        ASSERT_NE(needed, std::string::npos) << c.input;
        for (std::size_t offset = 0; offset <= c.data.size(); ++offset) {
            const std::string expected = offset < needed ? kReadError : intact;
            ASSERT_EQ(test::outcomeOf(c.data, offset, c.read), expected)
                << c.input << ", read fault at byte " << offset;
        }
        // Rewinds failing after ever more bytes: read errors first, then the intact result. No
        // reader rewinds more than three times.
        std::string previous = kReadError;
        for (std::size_t limit = 0; limit <= 3 * c.data.size(); ++limit) {
            const std::string outcome = test::outcomeOf(c.data, test::kNoFault, c.read, limit);
            ASSERT_TRUE(outcome == previous || (previous == kReadError && outcome == intact))
                << c.input << ", rewind fault after " << limit << " bytes: " << outcome;
            previous = outcome;
        }
        EXPECT_EQ(previous, intact) << c.input << ": rewinds that never fail";
    }
}

} // namespace
} // namespace tzo::factoryinfo
