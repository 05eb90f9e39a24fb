// The objects and the tool reading the factory partition itself, at "/dev/mtd/by-label/FACTORY",
// and how much of it they read.
#include <tzo/factoryinfo.hpp>

#include "cli.hpp"
#include "factory_device.hpp"
#include "read_count.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tzo::factoryinfo {
namespace {

// Returns what FactoryInfo(), Section("RadioCalibration") and the tool's "get SerialNumber" give
// after `prepare` made the device, in a child with a private mount namespace and a fresh /dev, so
// as not to touch the machine; or "skip: ..." where that is not allowed.
std::string readDevice(void (*prepare)(const char* path)) {
    FILE* said = std::tmpfile();
    if (fork() == 0) {
        std::string outcome;
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", "/dev", "tmpfs", 0, "size=1m") != 0) {
            outcome = std::string("skip: no private mount namespace: ") + std::strerror(errno);
        } else {
            mkdir("/dev/mtd", 0755);
            mkdir("/dev/mtd/by-label", 0755);
            prepare("/dev/mtd/by-label/FACTORY");
            outcome =
                test::outcomeOf("", [](std::istream&) { return FactoryInfo()["SerialNumber"]; });
            outcome += "|" + test::outcomeOf("", [](std::istream&) {
                           return Section("RadioCalibration").isChecksumValid() ? "verified" : "";
                       });
            char program[] = "tzo-factoryinfo", get[] = "get", key[] = "SerialNumber";
            char* argv[] = {program, get, key, nullptr};
            std::istringstream none;
            std::ostringstream out, err;
            const int status = tool::run(3, argv, none, out, err);
            outcome += "|" + std::to_string(status) + " " + out.str() + err.str();
        }
        std::fputs(outcome.c_str(), said);
        std::fflush(said);
        _exit(0);
    }
    wait(nullptr);
    std::rewind(said);
    char outcome[512] = {};
    const std::size_t length = std::fread(outcome, 1, sizeof outcome - 1, said);
    std::fclose(said);
    return std::string(outcome, length);
}

TEST(FactoryDevice, ObjectsAndToolReadTheFactoryPartition) {
    const std::pair<void (*)(const char*), std::string> cases[] = {
        {[](const char* path) { std::ofstream(path) << std::ifstream(TZO_SAMPLE).rdbuf(); },
         "GW4-2026-004711|verified|0 GW4-2026-004711\n"},
        {[](const char*) {},
         "!unable to open factory file|!unable to open factory file|1 tzo-factoryinfo: unable to "
         "open factory file /dev/mtd/by-label/FACTORY: No such file or directory\n"},
        {[](const char* path) { mkdir(path, 0755); },
         "!error reading factory data|!error reading factory data|1 tzo-factoryinfo: error reading "
         "factory data\n"},
    };
    for (const auto& [prepare, expected] : cases) {
        const std::string outcome = readDevice(prepare);
        if (outcome.rfind("skip:", 0) == 0)
            GTEST_SKIP() << outcome << "; run as root to test it";
        EXPECT_EQ(outcome, expected);
    }
}

// A constructor's three passes from the start may each read what is left of the read holding
// its last line, never the erased rest of the partition: every byte read comes from the flash.
TEST(FactoryDevice, PassesReadNoMoreThanOneReadBeyondTheData) {
    std::ostringstream data;
    data << "BeginOfBlock\n"
         << std::string(10000, 'x') << "\n"
         << std::ifstream(TZO_SAMPLE).rdbuf();
    char path[] = "/tmp/factoryinfo-test-XXXXXX";
    close(mkstemp(path));
    std::ofstream(path) << data.str() << std::string(65536 - data.str().size(), '\xff');
    const auto construct = [&path] {
        detail::FactoryDevice device(path);
        EXPECT_TRUE(FactoryInfo(device.stream()).isChecksumValid());
    };
    construct(); // the crypto library may read its configuration on first use
    const std::optional<test::ReadCount> count = test::readCountOf(construct);
    unlink(path);
    if (!count)
        GTEST_SKIP() << "the kernel keeps no read counts in /proc/thread-self/io";
    const long long reads = 3 * (data.str().size() / detail::kFactoryReadSize + 1);
    EXPECT_LE(count->calls, reads);
    EXPECT_LE(count->bytes, reads * 4096);
}

} // namespace
} // namespace tzo::factoryinfo
