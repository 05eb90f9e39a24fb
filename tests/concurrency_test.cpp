// Many threads at once: each building and querying objects of its own, and all reading one
// shared object. The full run also runs these under ThreadSanitizer.
#include <tzo/factoryinfo.hpp>

#include "sample_data.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

namespace tzo::factoryinfo {
namespace {

constexpr int kThreads = 8;

// Runs `work(thread index)` on kThreads threads released together, and returns how many of
// them reported a wrong result.
template <typename Work>
int failuresOnThreads(Work work) {
    std::atomic<bool> go{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int index = 0; index < kThreads; ++index) {
        threads.emplace_back([&, index] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            if (!work(index)) {
                ++failures;
            }
        });
    }
    go = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    return failures.load();
}

// Runs first in this program, so that the threads also race for the first absent-key lookup.
TEST(Concurrency, ManyThreadsReadOneSharedObject) {
    std::istringstream in(test::sampleData());
    const FactoryInfo info(in);
    const Section calibration(in, "RadioCalibration");
    const std::string serial = info["SerialNumber"];
    const std::string text = calibration.dump();
    EXPECT_EQ(failuresOnThreads([&](int) {
                  bool right = true;
                  for (int i = 0; i < 2000; ++i) {
                      right = right && info["SerialNumber"] == serial && info["Absent"].empty() &&
                              info.entries().size() == 7 && info.isChecksumValid() &&
                              calibration.dump() == text && calibration.isChecksumValid();
                  }
                  return right;
              }),
              0);
}

TEST(Concurrency, ManyThreadsBuildObjectsOfTheirOwn) {
    const std::string sample = test::sampleData();
    // Every other thread gets a wrong sum, so that exceptions are thrown concurrently too.
    const std::string wrongSum = test::replaced(sample, "FactoryinfoSum=8", "FactoryinfoSum=9");
    EXPECT_EQ(failuresOnThreads([&](int index) {
                  const std::string& data = index % 2 == 0 ? sample : wrongSum;
                  bool right = true;
                  for (int i = 0; i < 100; ++i) {
                      std::istringstream in(data);
                      try {
                          const FactoryInfo info(in);
                          right = right && index % 2 == 0 && info["Region"] == "EU";
                      } catch (const std::invalid_argument& error) {
                          right = right && index % 2 == 1 &&
                                  std::string(error.what()) ==
                                      "Calculated checksum do not match the provided one";
                      }
                      const Section section(in, "RadioCalibration");
                      right = right && section.isChecksumValid() &&
                              section.dump().find("ch11 66 64 62\n") != std::string::npos &&
                              checksumSection(in, "RadioCalibration");
                  }
                  return right;
              }),
              0);
}

} // namespace
} // namespace tzo::factoryinfo
