// Where factory data comes from: a file descriptor (a file, a pipe, a NOR or NAND partition) or
// memory, read forward in pieces.
#ifndef TZO_FACTORYINFO_SOURCE_HPP
#define TZO_FACTORYINFO_SOURCE_HPP

#include <cstddef>
#include <memory>

namespace tzo::factoryinfo::detail {

// The bytes that one read asks of a source. Every byte read from a partition comes from the
// flash chip, so it is read once, and only up to the last line that a reader needs plus the
// rest of the read that holds that line (on NAND, of the page). 4 KiB keeps that overshoot small,
// keeps the reads aligned to flash pages (no NAND page of up to 4 KiB is fetched twice), and still
// needs only 256 reads for 1 MiB.
inline constexpr std::size_t kSourceReadSize = 4096;

// Data read forward, piece by piece.
class Source {
public:
    virtual ~Source() = default;

    // Reads up to `count` bytes that follow those of the earlier calls into `into`.
    // Returns how many were read; 0 only at the end of the data. Throws ReadError "error reading
    // factory data" with the cause when a read fails.
    virtual std::size_t read(char* into, std::size_t count) = 0;
};

// Returns the source that reads the open file descriptor `descriptor` from where it stands, or,
// when it is an MTD character device of NAND type, from its start as nandwrite wrote it. The
// descriptor stays the caller's. Throws ReadError when the kind of device cannot be learnt, and
// with EMEDIUMTYPE for the MTD block device of a NAND partition, which reads its bad blocks as
// data.
std::unique_ptr<Source> descriptorSource(int descriptor);

// Returns the source that reads an MTD character device `descriptor` of NAND type with erase
// blocks of `eraseSize` bytes, pages of `pageSize` bytes and `size` bytes in all: from its start,
// at most one page per read, passing over each erase block that the kernel reports bad, and
// failing with EBADMSG where the kernel's ECC statistics count an uncorrectable error.
std::unique_ptr<Source> nandSource(int descriptor, std::size_t eraseSize, std::size_t pageSize,
                                   std::size_t size);

// Returns the source that reads the `size` bytes at `data`, which must outlive it.
std::unique_ptr<Source> memorySource(const char* data, std::size_t size);

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_SOURCE_HPP
