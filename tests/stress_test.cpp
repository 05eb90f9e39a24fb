// Load on the library: many threads at once, each building objects of its own or all reading
// one shared object (the full run also runs these under ThreadSanitizer), and thousands of
// constructions that must not make the heap or the resident set grow.
#include <tzo/factoryinfo.hpp>

#include "sample_data.hpp"

#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

namespace tzo::factoryinfo {
namespace {

const std::string kMismatch = "Calculated checksum do not match the provided one";

// Runs `work(thread index)` on 8 threads released together; returns how many returned false.
template <typename Work>
int failuresOnThreads(Work work) {
    std::atomic<bool> go{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int index = 0; index < 8; ++index) {
        threads.emplace_back([&, index] {
            while (!go.load())
                std::this_thread::yield();
            failures += work(index) ? 0 : 1;
        });
    }
    go = true;
    for (std::thread& thread : threads)
        thread.join();
    return failures.load();
}

// Returns "verified REGION" for FactoryInfo and Section built from `data`, or the message.
std::string readBoth(const std::string& data) {
    std::istringstream in(data);
    try {
        const FactoryInfo info(in);
        const Section section(in, "RadioCalibration");
        return (section.isChecksumValid() ? "verified " : "") + info["Region"];
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
}

// Runs first in this program, so that the threads also race for the first absent-key lookup.
TEST(Concurrency, ManyThreadsReadOneSharedObject) {
    std::istringstream in(test::sampleData());
    const FactoryInfo info(in);
    const std::string serial = info["SerialNumber"];
    EXPECT_EQ(failuresOnThreads([&](int) {
                  bool right = true;
                  for (int i = 0; i < 2000; ++i)
                      right = right && info["SerialNumber"] == serial && info["Absent"].empty() &&
                              info.entries().size() == 7 && info.isChecksumValid();
                  return right;
              }),
              0);
}

TEST(Concurrency, ManyThreadsBuildObjectsOfTheirOwn) {
    // Every other thread gets a wrong sum, so that exceptions are thrown concurrently too.
    const std::string data[] = {
        test::sampleData(),
        test::replaced(test::sampleData(), "FactoryinfoSum=8", "FactoryinfoSum=9")};
    EXPECT_EQ(failuresOnThreads([&](int index) {
                  bool right = true;
                  for (int i = 0; i < 100; ++i)
                      right = right && readBoth(data[index % 2]) ==
                                           (index % 2 == 0 ? "verified EU" : kMismatch);
                  return right;
              }),
              0);
}

TEST(Soak, ThousandsOfConstructionsKeepMemoryFlat) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator keeps freed memory on purpose";
#endif
    const std::string sample = test::sampleData();
    std::string large = "BeginOfRadioCalibration\n";
    for (int line = 0; line < 2000; ++line)
        large += "ch" + std::to_string(line) + " 68 66 64\n";
    const std::string fixtures[] = {
        sample,
        test::replaced(sample, "FactoryinfoSum=8", "FactoryinfoSum=9"),    // wrong sum
        test::replaced(sample, "EndOfFactoryinfo\n", ""),                  // unended
        test::replaced(sample, "BeginOfRadioCalibration", "BeginOfOther"), // missing section
        large + "EndOfRadioCalibration\n" + sample,
    };
    const auto construct = [&](int rounds) {
        for (int round = 0; round < rounds; ++round)
            for (const std::string& data : fixtures)
                readBoth(data);
    };
    const auto residentBytes = [] {
        std::ifstream statm("/proc/self/statm");
        long pages = 0, resident = 0;
        statm >> pages >> resident;
        return resident * sysconf(_SC_PAGESIZE);
    };

    construct(200); // warm-up: the allocator's pools and the library's statics
    const long heapBefore = static_cast<long>(mallinfo2().uordblks);
    const long residentBefore = residentBytes();
    construct(2000); // 20000 constructions of each object
    EXPECT_LE(static_cast<long>(mallinfo2().uordblks) - heapBefore, 64 * 1024);
    EXPECT_LE(residentBytes() - residentBefore, 1024 * 1024);
}

} // namespace
} // namespace tzo::factoryinfo
