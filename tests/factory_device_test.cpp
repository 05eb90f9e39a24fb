// The constructors that read the factory partition itself, at "/dev/mtd/by-label/FACTORY".
//
// Each case runs in a child process with a private mount namespace and a fresh /dev, so the
// device can be made present, absent or a directory without touching the machine. That needs
// root; elsewhere the cases are skipped with the reason.
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <sys/types.h>

namespace tzo::factoryinfo {
namespace {

constexpr char kDevicePath[] = "/dev/mtd/by-label/FACTORY";
constexpr int kSkipStatus = 77;

enum class Device { Absent, File, Directory };

// Returns what `body` said, run where the factory device is as `device` says (holding
// `content` when it is a file), or "skip: ..." when the namespace cannot be made here.
std::string runWithDevice(Device device, const std::string& content,
                          const std::function<std::string()>& body) {
    int output[2];
    if (pipe(output) != 0)
        return "skip: pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(output[0]);
        std::string said;
        int status = 0;
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", "/dev", "tmpfs", 0, "size=1m") != 0) {
            said = std::string("skip: no private mount namespace here (") + std::strerror(errno) +
                   "); run as root to test the device path";
            status = kSkipStatus;
        } else {
            mkdir("/dev/mtd", 0755);
            mkdir("/dev/mtd/by-label", 0755);
            if (device == Device::File)
                std::ofstream(kDevicePath, std::ios::binary) << content;
            if (device == Device::Directory)
                mkdir(kDevicePath, 0755);
            said = body();
        }
        if (write(output[1], said.data(), said.size()) < 0)
            status = 1;
        _exit(status);
    }
    close(output[1]);
    std::string said;
    char chunk[256];
    for (ssize_t n; (n = read(output[0], chunk, sizeof chunk)) > 0;)
        said.append(chunk, n);
    close(output[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return said;
}

// Returns the serial number and checksum state of FactoryInfo(), or the message it threw.
std::string readFactoryInfo() {
    try {
        const FactoryInfo info;
        return info["SerialNumber"] + (info.isChecksumValid() ? " verified" : " unverified");
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
}

// Returns the text and checksum state of Section("Factoryinfo"), or the message it threw.
std::string readSection() {
    try {
        const Section section("Factoryinfo");
        return section.dump() + (section.isChecksumValid() ? "verified" : "unverified");
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
}

TEST(FactoryDevice, ObjectsReadTheFactoryPartition) {
    const std::string body = "SerialNumber=GW4-9\n";
    const std::string data = "BeginOfFactoryinfo\n" + body + "EndOfFactoryinfo\n" +
                             test::checksumSectionFor("Factoryinfo", body);
    const struct {
        const char* fault;
        Device device;
        std::string factoryInfo;
        std::string section;
    } cases[] = {
        {"device present", Device::File, "GW4-9 verified", body + "verified"},
        {"device absent", Device::Absent, "unable to open factory file",
         "unable to open factory file"},
        {"directory in place of the device", Device::Directory, "error reading factory data",
         "error reading factory data"},
    };
    for (const auto& c : cases) {
        const std::string info = runWithDevice(c.device, data, readFactoryInfo);
        if (info.rfind("skip:", 0) == 0)
            GTEST_SKIP() << info;
        EXPECT_EQ(info, c.factoryInfo) << c.fault;
        EXPECT_EQ(runWithDevice(c.device, data, readSection), c.section) << c.fault;
    }
}

} // namespace
} // namespace tzo::factoryinfo
