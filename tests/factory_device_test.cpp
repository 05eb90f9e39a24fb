// The constructors that read the factory partition itself, at "/dev/mtd/by-label/FACTORY".
//
// Each case runs in a child process with a private mount namespace and a fresh /dev, so that
// the device can be present, absent or a directory without touching the machine. That needs
// root; elsewhere the test is skipped with the reason.
#include <tzo/factoryinfo.hpp>

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
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace tzo::factoryinfo {
namespace {

enum class Device { Absent, File, Directory };

// Returns the checksum state and text of FactoryInfo() and Section("Factoryinfo"), or their
// messages, read where the device is as `device` says, holding `data` when it is a file.
// Returns "skip: ..." when no private mount namespace can be made here.
std::string readDevice(Device device, const std::string& data) {
    int output[2];
    if (pipe(output) != 0)
        return "skip: no pipe";
    const pid_t child = fork();
    if (child == 0) {
        std::string said;
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
            mount("tmpfs", "/dev", "tmpfs", 0, "size=1m") != 0) {
            said = std::string("skip: no private mount namespace (") + std::strerror(errno) + ")";
        } else {
            mkdir("/dev/mtd", 0755);
            mkdir("/dev/mtd/by-label", 0755);
            const char* path = "/dev/mtd/by-label/FACTORY";
            if (device == Device::File)
                std::ofstream(path) << data;
            if (device == Device::Directory)
                mkdir(path, 0755);
            said = test::outcomeOf("", test::kNoFault,
                                   [](std::istream&) {
                                       const FactoryInfo info;
                                       return info["SerialNumber"] +
                                              (info.isChecksumValid() ? " verified" : "");
                                   }) +
                   "|" + test::outcomeOf("", test::kNoFault, [](std::istream&) {
                       const Section section("Factoryinfo");
                       return section.dump() + (section.isChecksumValid() ? " verified" : "");
                   });
        }
        _exit(write(output[1], said.data(), said.size()) < 0);
    }
    close(output[1]);
    std::string said;
    char chunk[256];
    for (ssize_t n; (n = read(output[0], chunk, sizeof chunk)) > 0;)
        said.append(chunk, n);
    close(output[0]);
    waitpid(child, nullptr, 0);
    return said;
}

TEST(FactoryDevice, ObjectsReadTheFactoryPartition) {
    const std::string body = "SerialNumber=GW4-9\n";
    const std::string data = "BeginOfFactoryinfo\n" + body + "EndOfFactoryinfo\n" +
                             test::checksumSectionFor("Factoryinfo", body);
    const struct {
        Device device;
        std::string outcome;
    } cases[] = {
        {Device::File, "GW4-9 verified|SerialNumber=GW4-9\n verified"},
        {Device::Absent, "unable to open factory file"
                         "|unable to open factory file"},
        {Device::Directory, "error reading factory data"
                            "|error reading factory data"},
    };
    for (const auto& c : cases) {
        const std::string outcome = readDevice(c.device, data);
        if (outcome.rfind("skip:", 0) == 0)
            GTEST_SKIP() << outcome << "; run as root to test it";
        EXPECT_EQ(outcome, c.outcome);
    }
}

// Every byte read from the partition is read from the flash chip again, and each constructor
// makes three passes from the start. Each pass may read the data up to its last line and what
// is left of that read, never the erased rest of the partition.
TEST(FactoryDevice, PassesReadNoMoreThanOneReadBeyondTheData) {
    const std::string body = "SerialNumber=GW4-9\n";
    const std::string sections = "BeginOfFactoryinfo\n" + body + "EndOfFactoryinfo\n" +
                                 test::checksumSectionFor("Factoryinfo", body) + "EndOfData\n";
    const std::string filler = "BeginOfBlock\n" + std::string(10000, 'x') + "\nEndOfBlock\n";
    for (const std::string& data : {sections, filler + sections}) {
        char path[] = "/tmp/factoryinfo-test-XXXXXX";
        close(mkstemp(path));
        std::ofstream(path, std::ios_base::binary)
            << data << std::string(65536 - data.size(), '\xff');
        const auto readInfo = [&path] {
            detail::FactoryDevice device(path);
            EXPECT_TRUE(FactoryInfo(device.stream()).isChecksumValid());
        };
        const auto readSection = [&path] {
            detail::FactoryDevice device(path);
            EXPECT_TRUE(Section(device.stream(), "Factoryinfo").isChecksumValid());
        };
        readInfo(); // the crypto library may read its configuration on first use
        const auto infoCount = test::readCountOf(readInfo);
        const auto sectionCount = test::readCountOf(readSection);
        unlink(path);
        if (!infoCount || !sectionCount)
            GTEST_SKIP() << "the kernel keeps no read counts in /proc/thread-self/io";

        const long long calls = 3 * (data.size() / detail::kFactoryReadSize + 1);
        for (const auto& count : {*infoCount, *sectionCount}) {
            EXPECT_LE(count.calls, calls) << data.size() << " bytes of data";
            EXPECT_LE(count.bytes, calls * static_cast<long long>(detail::kFactoryReadSize))
                << data.size() << " bytes of data";
        }
    }
}

} // namespace
} // namespace tzo::factoryinfo
