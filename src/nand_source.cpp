// Reading a NAND partition as nandwrite wrote it: past its bad erase blocks, a page at a time,
// and never passing data that the flash could not correct as data.
#include "source.hpp"

#include "read_error.hpp"

#include "tzo/factoryinfo.hpp"

#include <mtd/mtd-abi.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tzo::factoryinfo::detail {

namespace {

// nandwrite writes an image into the good erase blocks of a partition, passing over each block
// that the kernel reports bad, so the image's bytes are the good blocks' bytes in order. The
// kernel hands out a page that its ECC could not correct as if it had read it well, and counts
// the failure in its ECC statistics: a read during which that count grows is a read error. A
// read never goes past the end of a page, so that a page is only read when a reader needs data
// in it: a page that fails after the one holding the data's end fails no reading.
class NandSource : public Source {
public:
    NandSource(int descriptor, std::size_t eraseSize, std::size_t pageSize, std::size_t size)
        : m_descriptor(descriptor), m_eraseSize(eraseSize), m_pageSize(pageSize), m_size(size) {}

    std::size_t read(char* into, std::size_t count) override {
        if (m_offset == m_blockEnd) {
            enterNextGoodBlock();
        }
        if (m_offset >= m_size) {
            return 0;
        }
        const std::size_t pageEnd = (m_offset / m_pageSize + 1) * m_pageSize;
        count = std::min({count, m_blockEnd - m_offset, pageEnd - m_offset});
        const unsigned failuresBefore = eccFailures();
        const std::size_t got = readAt(into, count);
        if (eccFailures() != failuresBefore) {
            failRead(EBADMSG);
        }
        m_offset += got;
        return got;
    }

private:
    // Moves to the first good erase block from the current offset, or to the end of the
    // partition when none is left.
    void enterNextGoodBlock() {
        while (m_offset < m_size && isBadBlock(m_offset)) {
            m_offset += m_eraseSize;
        }
        m_blockEnd = std::min(m_offset + m_eraseSize, m_size);
    }

    // Returns true when the kernel reports the erase block at `offset` bad.
    bool isBadBlock(std::size_t offset) const {
        __kernel_loff_t blockOffset = static_cast<__kernel_loff_t>(offset);
        const int bad = ioctl(m_descriptor, MEMGETBADBLOCK, &blockOffset);
        if (bad < 0) {
            failRead(errno);
        }
        return bad > 0;
    }

    // Returns the number of uncorrectable ECC errors that the kernel has counted on the
    // partition.
    unsigned eccFailures() const {
        mtd_ecc_stats statistics;
        if (ioctl(m_descriptor, ECCGETSTATS, &statistics) != 0) {
            failRead(errno);
        }
        return statistics.failed;
    }

    // Reads `count` bytes at the current offset into `into`.
    // Returns how many were read.
    std::size_t readAt(char* into, std::size_t count) const {
        for (;;) {
            const ssize_t got = pread(m_descriptor, into, count, static_cast<off_t>(m_offset));
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                failRead(errno);
            }
        }
    }

    int m_descriptor;
    std::size_t m_eraseSize;
    std::size_t m_pageSize;
    std::size_t m_size;
    std::size_t m_offset = 0;   // where the next read starts on the partition
    std::size_t m_blockEnd = 0; // the end of the good erase block being read
};

} // namespace

std::unique_ptr<Source> nandSource(int descriptor, std::size_t eraseSize, std::size_t pageSize,
                                   std::size_t size) {
    return std::make_unique<NandSource>(descriptor, eraseSize, pageSize, size);
}

} // namespace tzo::factoryinfo::detail
