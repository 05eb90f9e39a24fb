// The constructors that read the factory partition itself, at "/dev/mtd/by-label/FACTORY", and
// how much of it they read.
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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace tzo::factoryinfo {
namespace {

enum class Device { Absent, File, Directory };

const std::string kBody = "SerialNumber=GW4-9\n";
const std::string kData = "BeginOfFactoryinfo\n" + kBody + "EndOfFactoryinfo\n" +
                          test::checksumSectionFor("Factoryinfo", kBody) + "EndOfData\n";

// On a board whose FACTORY partition holds kData, TZO_FACTORYINFO_BOARD=1 has the objects read
// the real partition instead of one made up in a private /dev.
const bool kOnBoard = std::getenv("TZO_FACTORYINFO_BOARD") != nullptr;

// Returns what FactoryInfo() and Section("Factoryinfo") give with the device as `device` says,
// holding kData when it is a file. It runs in a child with a private mount namespace and a
// fresh /dev, so as not to touch the machine; returns "skip: ..." where that is not allowed.
std::string readDevice(Device device) {
    FILE* said = std::tmpfile();
    const pid_t child = fork();
    if (child == 0) {
        std::string outcome;
        if (!kOnBoard && (unshare(CLONE_NEWNS) != 0 ||
                          mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
                          mount("tmpfs", "/dev", "tmpfs", 0, "size=1m") != 0)) {
            outcome =
                std::string("skip: no private mount namespace (") + std::strerror(errno) + ")";
        } else {
            mkdir("/dev/mtd", 0755);
            mkdir("/dev/mtd/by-label", 0755);
            if (device == Device::File && !kOnBoard)
                std::ofstream(detail::kFactoryDevicePath) << kData;
            if (device == Device::Directory)
                mkdir(detail::kFactoryDevicePath, 0755);
            outcome =
                test::outcomeOf("", [](std::istream&) { return FactoryInfo()["SerialNumber"]; }) +
                "|" + test::outcomeOf("", [](std::istream&) {
                    const Section section("Factoryinfo");
                    return section.dump() + (section.isChecksumValid() ? "verified" : "");
                });
        }
        std::fputs(outcome.c_str(), said);
        std::fflush(said);
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    std::rewind(said);
    char outcome[256] = {};
    const std::size_t length = std::fread(outcome, 1, sizeof outcome - 1, said);
    std::fclose(said);
    return std::string(outcome, length);
}

TEST(FactoryDevice, ObjectsReadTheFactoryPartition) {
    const struct {
        Device device;
        std::string outcome;
    } cases[] = {
        {Device::File, "GW4-9|SerialNumber=GW4-9\nverified"},
        {Device::Absent, "unable to open factory file|unable to open factory file"},
        {Device::Directory, "error reading factory data|error reading factory data"},
    };
    for (const auto& c : cases) {
        if (kOnBoard && c.device != Device::File)
            continue;
        const std::string outcome = readDevice(c.device);
        if (outcome.rfind("skip:", 0) == 0)
            GTEST_SKIP() << outcome << "; run as root to test it";
        EXPECT_EQ(outcome, c.outcome);
    }
}

// A construction reads each byte of the flash once, up to the data it needs, at most 16 MiB.
TEST(FactoryDevice, ReadsEachByteOnceUpToTheDataAndAtMost16MiB) {
    const std::string data = "BeginOfBlock\n" + std::string(10000, 'x') + "\nEndOfBlock\n" + kData;
    char path[] = "/tmp/factoryinfo-test-XXXXXX";
    close(mkstemp(path));
    const std::string tooMuch = "factory data exceeds 16 MiB";
    const struct {
        std::string image;       // 64 KiB of flash, or a wrong link to 32 MiB of zeros
        std::string outcomes[2]; // of FactoryInfo and Section
        long long bytes;         // at most: the data in three reads and one more, or 16 MiB and one
    } cases[] = {
        {data + std::string(65536 - data.size(), '\xff'), {"GW4-9", "SerialNumber=GW4-9\n"}, 16384},
        {std::string(32 << 20, '\0'), {tooMuch, tooMuch}, 16781312},
    };
    for (const auto& c : cases) {
        std::ofstream(path, std::ios_base::binary) << c.image;
        for (const bool section : {false, true}) {
            const auto read = [&] {
                return test::outcomeOf("", [&](std::istream&) {
                    detail::FactoryDevice device(path);
                    return section ? Section(device.stream(), "Factoryinfo").dump()
                                   : FactoryInfo(device.stream())["SerialNumber"];
                });
            };
            read(); // the crypto library may read its configuration on first use
            const auto count = test::readCountOf([&] { EXPECT_EQ(read(), c.outcomes[section]); });
            EXPECT_LE(count ? count->bytes : 0, c.bytes) << c.image.size();
        }
    }
    unlink(path);
}

// The data rewritten in place, to `next`, once a reader has read some of it.
struct RewrittenData : std::stringbuf {
    std::string next;
    pos_type seekoff(off_type offset, std::ios_base::seekdir from,
                     std::ios_base::openmode which) override {
        if (gptr() != eback())
            str(next);
        return std::stringbuf::seekoff(offset, from, which);
    }
};

// A half-written serial number must not pass as verified by the sum of the data replacing it.
TEST(FactoryDevice, AConstructionSeesOneVersionOfTheData) {
    const auto version = [](const std::string& serial, const std::string& summed) {
        return "BeginOfFactoryinfo\nSerialNumber=" + serial + "\nEndOfFactoryinfo\n" +
               test::checksumSectionFor("Factoryinfo", "SerialNumber=" + summed + "\n");
    };
    RewrittenData source;
    source.str(version("GW4-", "GW4-1")); // the new number half-written, the old sum
    source.next = version("GW4-2", "GW4-2");
    detail::ReadOnceData once(&source);
    const auto read = [&](std::istream&) { return FactoryInfo(once.stream())[""]; };
    EXPECT_EQ(test::outcomeOf("", read), "Calculated checksum do not match the provided one");
}

} // namespace
} // namespace tzo::factoryinfo
