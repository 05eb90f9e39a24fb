// The objects, the C API and the tool reading the factory partition itself, at
// "/dev/mtd/by-label/FACTORY", how much of it they read, and that a construction sees one version
// of it.
#include <tzo/factoryinfo.h>
#include <tzo/factoryinfo.hpp>

#include "cli.hpp"
#include "read_count.hpp"
#include "read_once.hpp"
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
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace tzo::factoryinfo {
namespace {

// On a board whose FACTORY partition holds "SerialNumber=GW4-9" and a RadioCalibration section,
// both summed (tests/board/run.sh), TZO_FACTORYINFO_BOARD=1 has the objects, the C API and the
// tool read the real partition instead of one made up in a private /dev.
const bool kOnBoard = std::getenv("TZO_FACTORYINFO_BOARD") != nullptr;

// Returns the serial number that the C API reads from the device, or its message and cause.
std::string serialThroughCApi() {
    tzo_fi_info* info = nullptr;
    int errorNumber = 0;
    if (const int code = tzo_fi_info_read(nullptr, &info, &errorNumber))
        return std::string("!") + tzo_fi_message(code) + ": " + tzo_fi_cause(errorNumber);
    const char* serial = nullptr;
    std::size_t size = 0;
    tzo_fi_info_get(info, "SerialNumber", 12, &serial, &size);
    const std::string out(serial, size);
    tzo_fi_info_free(info);
    return out;
}

// Returns what FactoryInfo(), Section("RadioCalibration"), the C API and the tool's
// "get SerialNumber" give after `prepare` made the device, in a child with a private mount
// namespace and a fresh /dev, so as not to touch the machine; or "skip: ..." where that is not
// allowed.
std::string readDevice(void (*prepare)(const char* path)) {
    FILE* said = std::tmpfile();
    if (fork() == 0) {
        std::string outcome;
        if (!kOnBoard && (unshare(CLONE_NEWNS) != 0 ||
                          mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                          mount("tmpfs", "/dev", "tmpfs", 0, "size=1m") != 0)) {
            outcome = std::string("skip: no private mount namespace: ") + std::strerror(errno);
        } else {
            mkdir("/dev/mtd", 0755);
            mkdir("/dev/mtd/by-label", 0755);
            if (!kOnBoard)
                prepare("/dev/mtd/by-label/FACTORY");
            outcome =
                test::outcomeOf("", [](std::istream&) { return FactoryInfo()["SerialNumber"]; });
            outcome += "|" + test::outcomeOf("", [](std::istream&) {
                           return Section("RadioCalibration").isChecksumValid() ? "verified" : "";
                       });
            outcome += "|" + serialThroughCApi();
            char program[] = "tzo-factoryinfo", get[] = "get", key[] = "SerialNumber";
            char* argv[] = {program, get, key, nullptr};
            std::ostringstream out, err;
            const int status = tool::run(3, argv, -1, out, err);
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
    const auto failing = [](const std::string& message, const std::string& forTool) {
        const std::string all = "!" + message + "|!" + message + "|!" + message;
        return all + "|1 tzo-factoryinfo: " + forTool + "\n";
    };
    const std::pair<void (*)(const char*), std::string> cases[] = {
        {[](const char* path) { std::ofstream(path) << std::ifstream(TZO_SAMPLE).rdbuf(); },
         kOnBoard ? "GW4-9|verified|GW4-9|0 GW4-9\n"
                  : "GW4-2026-004711|verified|GW4-2026-004711|0 GW4-2026-004711\n"},
        {[](const char*) {},
         failing("unable to open factory file: No such file or directory",
                 "unable to open factory file /dev/mtd/by-label/FACTORY: No such file or "
                 "directory")},
        {[](const char* path) { mkdir(path, 0755); },
         failing("error reading factory data: Is a directory",
                 "error reading factory data: Is a directory")},
    };
    for (const auto& [prepare, expected] : cases) {
        const std::string outcome = readDevice(prepare);
        if (outcome.rfind("skip:", 0) == 0)
            GTEST_SKIP() << outcome << "; run as root to test it";
        EXPECT_EQ(outcome, expected);
        if (kOnBoard)
            break; // the board's partition is the file case
    }
}

// A construction reads the flash in aligned 4 KiB reads, each byte once, no further than the
// read that holds the last line it needs, and at most 16 MiB.
TEST(FactoryDevice, ReadsEachByteOnceUpToTheDataAndAtMost16MiB) {
    if (kOnBoard)
        GTEST_SKIP() << "it reads images made in /tmp, too large for the board's memory";
    if (!test::readSoFar())
        GTEST_SKIP() << "the kernel keeps no read counts in /proc/thread-self/io";
    std::ostringstream data;
    data << "BeginOfBlock\n"
         << std::string(100000, 'x') << "\nEndOfBlock\n"
         << std::ifstream(TZO_SAMPLE).rdbuf();
    char path[] = "/tmp/factoryinfo-test-XXXXXX";
    close(mkstemp(path));
    const std::string line16MiB = std::string((16 << 20) - 1, 'x') + "\n";
    const struct {
        std::string image;
        std::string outcomes[2]; // of FactoryInfo and Section
        long long bytes, calls;
    } cases[] = {
        // 100725 bytes of data in 128 KiB of flash, more than one block of what is kept, passed
        // over three times: EndOfChecksum ends at byte 100596.
        {data.str() + std::string(131072 - data.str().size(), '\xff'),
         {"GW4-2026-004711", "verified"},
         102400,
         25},
        // Exactly 16 MiB, all of it searched, and the read that finds the end.
        {line16MiB,
         {"!End of data reached before finding factory info",
          "!end of file reached before finding end of section"},
         16 << 20,
         4097},
        // One byte more: a wrong link, /dev/zero, a pipe without end.
        {line16MiB + "x",
         {"!factory data exceeds 16 MiB", "!factory data exceeds 16 MiB"},
         (16 << 20) + 1,
         4097},
    };
    for (const auto& c : cases) {
        std::ofstream(path, std::ios_base::binary) << c.image;
        for (const bool section : {false, true}) {
            const auto read = [&] {
                return test::outcomeOf("", [&](std::istream&) -> std::string {
                    FactoryData device(path);
                    if (section)
                        return Section(device.stream(), "Factoryinfo").isChecksumValid()
                                   ? "verified"
                                   : "";
                    return FactoryInfo(device.stream())["SerialNumber"];
                });
            };
            read(); // the crypto library may read its configuration on first use
            const auto count = test::readCountOf([&] { EXPECT_EQ(read(), c.outcomes[section]); });
            ASSERT_TRUE(count);
            EXPECT_EQ(count->bytes, c.bytes) << c.image.size();
            EXPECT_EQ(count->calls, c.calls) << c.image.size();
        }
    }
    unlink(path);
}

// Data given in pieces, each one read: an empty piece is an end of the data, after which a FIFO
// written to again, or a file appended to, gives more; "!" is a read that fails, as a flash
// error may fail one read and not the next.
struct Pieces : detail::Source {
    std::vector<std::string> pieces;
    std::size_t next = 0;
    std::size_t read(char* into, std::size_t count) override {
        if (next == pieces.size())
            return 0;
        const std::string& piece = pieces[next++];
        if (piece == "!")
            throw ReadError("error reading factory data", EIO);
        return piece.copy(into, count);
    }
};

// Each byte is read once (see above), so a construction sees one version of data rewritten while
// it reads; nor may a later pass over the data, or a later object on it (as the tool's verify
// makes several), find data where an earlier one saw the end, or past a read that failed: the
// bytes of the failed read would be missing from it.
TEST(FactoryDevice, AConstructionSeesOneVersionOfTheData) {
    const struct {
        std::vector<std::string> pieces;
        std::string outcome;
    } sources[] = {{{"BeginOfFactoryinfo\nSerialNumber=GW4-2\nEndOfFactoryinfo\n", "",
                     "BeginOfChecksum\nFactoryinfoType=sha256\nFactoryinfoSum=0\nEndOfChecksum\n"},
                    "GW4-2"},
                   {{"BeginOfFactoryinfo\n", "!", "SerialNumber=GW4-2\nEndOfFactoryinfo\n"},
                    "!error reading factory data: Input/output error"}};
    for (const auto& source : sources) {
        Pieces pieces;
        pieces.pieces = source.pieces;
        detail::ReadOnceStream once(pieces);
        for (int object = 0; object < 2; ++object)
            EXPECT_EQ(test::outcomeOf("",
                                      [&](std::istream&) {
                                          const FactoryInfo info(once.stream());
                                          return info["SerialNumber"] +
                                                 (info.isChecksumValid() ? " verified" : "");
                                      }),
                      source.outcome);
    }
}

// A reader closes the file that it opened, and leaves open the descriptor that it was given:
// a daemon reads the factory data many times.
TEST(FactoryDevice, ClosesTheFileItOpenedAndNoOther) {
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = openFiles();
    char path[] = "/tmp/factoryinfo-test-XXXXXX";
    const int given = mkstemp(path);
    const std::string data = "BeginOfFactoryinfo\nRegion=EU\nEndOfFactoryinfo\n";
    ASSERT_EQ(write(given, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(FactoryInfo(FactoryData(path).stream())["Region"], "EU");
        lseek(given, 0, SEEK_SET);
        EXPECT_EQ(FactoryInfo(FactoryData(given).stream())["Region"], "EU");
    }
    EXPECT_EQ(openFiles(), before + 1);
    EXPECT_EQ(close(given), 0);
    unlink(path);
}

} // namespace
} // namespace tzo::factoryinfo
