// Thousands of constructions over varied data, successful and failing, must not make the heap
// or the resident set grow once the process has warmed up.
#include <tzo/factoryinfo.hpp>

#include "sample_data.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace tzo::factoryinfo {
namespace {

// Returns the resident set size of this process in bytes, from /proc/self/statm.
long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// Returns the bytes that malloc has handed out and not had back.
long heapInUse() {
    return static_cast<long>(mallinfo2().uordblks);
}

// Builds FactoryInfo and a Section from each of `fixtures` `rounds` times over.
void construct(const std::vector<std::string>& fixtures, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        for (const std::string& data : fixtures) {
            std::istringstream in(data);
            try {
                const FactoryInfo info(in);
                const Section section(in, "RadioCalibration");
            } catch (const std::invalid_argument&) {
            }
        }
    }
}

TEST(Soak, ThousandsOfConstructionsKeepMemoryFlat) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator keeps freed memory on purpose";
#endif
    const std::string sample = test::sampleData();
    std::string large = "BeginOfRadioCalibration\n";
    for (int line = 0; line < 2000; ++line) {
        large += "ch" + std::to_string(line) + " 68 66 64\n";
    }
    large += "EndOfRadioCalibration\n" + sample;
    const std::vector<std::string> fixtures = {
        sample,
        test::replaced(sample, "FactoryinfoSum=8", "FactoryinfoSum=9"), // wrong sum
        test::replaced(sample, "EndOfFactoryinfo\n", ""),               // unended
        test::replaced(sample, "RadioCalibrationType=sha256", "RadioCalibrationType=md5"),
        test::replaced(sample, "BeginOfRadioCalibration", "BeginOfOther"), // missing section
        large,
    };

    construct(fixtures, 200); // warm-up: the allocator's pools and the library's statics
    const long heapBefore = heapInUse();
    const long residentBefore = residentBytes();
    construct(fixtures, 2000); // 24000 constructions
    EXPECT_LE(heapInUse() - heapBefore, 64 * 1024);
    EXPECT_LE(residentBytes() - residentBefore, 1024 * 1024);
}

} // namespace
} // namespace tzo::factoryinfo
