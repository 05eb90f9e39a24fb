// An LD_PRELOAD library that makes read(2) on one file fail as a flash driver does: every read
// from byte TZO_READ_FAULT_OFFSET on fails with EIO; a read reaching it returns the bytes
// before it. The file is named by TZO_READ_FAULT_PATH; reads of anything else pass through.
//
// libstdc++'s file buffer reads through read(2) (std::__basic_file<char>::xsgetn), so this
// reaches every std::ifstream of the process under test.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// The file that fails, and where.
struct Fault {
    bool active = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t offset = 0;
};

// Returns the fault that the environment describes; inactive when it describes none.
Fault faultFromEnvironment() {
    Fault fault;
    const char* path = std::getenv("TZO_READ_FAULT_PATH");
    const char* offset = std::getenv("TZO_READ_FAULT_OFFSET");
    struct stat file;
    if (path == nullptr || offset == nullptr || stat(path, &file) != 0) {
        return fault;
    }
    fault.active = true;
    fault.device = file.st_dev;
    fault.inode = file.st_ino;
    fault.offset = static_cast<off_t>(std::strtoll(offset, nullptr, 10));
    return fault;
}

// Returns true when `fd` is open on the faulty file.
bool isFaultyFile(const Fault& fault, int fd) {
    struct stat file;
    return fault.active && fstat(fd, &file) == 0 && file.st_dev == fault.device &&
           file.st_ino == fault.inode;
}

} // namespace

// Reads as read(2) does, up to the fault offset of the faulty file and failing with EIO there.
extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static const Fault fault = faultFromEnvironment();
    if (isFaultyFile(fault, fd)) {
        const off_t position = lseek(fd, 0, SEEK_CUR);
        if (position >= fault.offset) {
            errno = EIO;
            return -1;
        }
        if (static_cast<off_t>(count) > fault.offset - position) {
            count = static_cast<size_t>(fault.offset - position);
        }
    }
    return syscall(SYS_read, fd, buffer, count);
}
