// Reading a file descriptor: a file, a pipe or a partition, told apart by what it is.
#include "source.hpp"

#include "read_error.hpp"

#include "tzo/factoryinfo.hpp"

#include <fcntl.h>
#include <mtd/mtd-abi.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tzo::factoryinfo::detail {

namespace {

// The major device number of the MTD character devices /dev/mtdN and /dev/mtdNro.
constexpr unsigned kMtdCharMajor = 90;

// The major device number of the MTD block devices /dev/mtdblockN.
constexpr unsigned kMtdBlockMajor = 31;

// A file, a pipe, or a partition of NOR flash, which reads as a file: read(2) from where the
// descriptor stands.
class FileSource : public Source {
public:
    explicit FileSource(int descriptor) : m_descriptor(descriptor) {}

    std::size_t read(char* into, std::size_t count) override {
        for (;;) {
            const ssize_t got = ::read(m_descriptor, into, count);
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                failRead(errno);
            }
        }
    }

private:
    int m_descriptor;
};

// Bytes in memory, read as a device is.
class MemorySource : public Source {
public:
    MemorySource(const char* data, std::size_t size) : m_next(data), m_end(data + size) {}

    std::size_t read(char* into, std::size_t count) override {
        count = std::min(count, static_cast<std::size_t>(m_end - m_next));
        if (count == 0) {
            return 0; // no bytes at all may come with no address
        }
        std::memcpy(into, m_next, count);
        m_next += count;
        return count;
    }

private:
    const char* m_next;
    const char* m_end;
};

// Returns true when `status` is that of an MTD character device. Only then are the MTD requests
// made: other drivers give the same request numbers other meanings.
bool isMtdCharDevice(const struct stat& status) {
    return S_ISCHR(status.st_mode) && major(status.st_rdev) == kMtdCharMajor;
}

// Returns true when the block device numbered `device`, an MTD block device, lies over NAND
// flash, as the type of its MTD device in sysfs says: the block driver has no requests that
// tell. Throws ReadError when the type cannot be read.
bool isOverNand(dev_t device) {
    char path[64];
    std::snprintf(path, sizeof path, "/sys/dev/block/%u:%u/device/type", major(device),
                  minor(device));
    const int typeFile = open(path, O_RDONLY | O_CLOEXEC);
    if (typeFile == -1) {
        failRead(errno);
    }
    char type[16];
    const ssize_t got = ::read(typeFile, type, sizeof type);
    const int readErrorNumber = errno;
    close(typeFile);
    if (got < 0) {
        failRead(readErrorNumber);
    }
    const std::string_view text(type, static_cast<std::size_t>(got));
    return text == "nand\n" || text == "mlc-nand\n";
}

// The MTD block driver reads a partition byte for byte, its bad erase blocks included, so NAND
// read through it gives whatever lies in those blocks as data.
// Throws ReadError with EMEDIUMTYPE when `status` is that of an MTD block device over NAND, and
// ReadError with the cause when the flash under one cannot be learnt; returns otherwise.
void refuseNandBlockDevice(const struct stat& status) {
    if (S_ISBLK(status.st_mode) && major(status.st_rdev) == kMtdBlockMajor &&
        isOverNand(status.st_rdev)) {
        failRead(EMEDIUMTYPE);
    }
}

// Returns the source that reads the MTD character device `descriptor` when it is NAND flash, or
// null when it reads as a file (NOR flash). Throws ReadError when its kind cannot be learnt.
std::unique_ptr<Source> nandSourceOf(int descriptor) {
    mtd_info_user info;
    if (ioctl(descriptor, MEMGETINFO, &info) != 0) {
        failRead(errno);
    }
    const bool nand = info.type == MTD_NANDFLASH || info.type == MTD_MLCNANDFLASH;
    if (!nand || info.erasesize == 0 || info.writesize == 0) {
        return nullptr;
    }
    return nandSource(descriptor, info.erasesize, info.writesize, info.size);
}

} // namespace

std::unique_ptr<Source> descriptorSource(int descriptor) {
    struct stat status;
    if (fstat(descriptor, &status) == 0) { // otherwise the reads give the error
        refuseNandBlockDevice(status);
        if (isMtdCharDevice(status)) {
            if (std::unique_ptr<Source> nand = nandSourceOf(descriptor)) {
                return nand;
            }
        }
    }
    return std::make_unique<FileSource>(descriptor);
}

std::unique_ptr<Source> memorySource(const char* data, std::size_t size) {
    return std::make_unique<MemorySource>(data, size);
}

} // namespace tzo::factoryinfo::detail
