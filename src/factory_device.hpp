// The factory partition, opened the same way by every object that reads it.
#ifndef TZO_FACTORYINFO_FACTORY_DEVICE_HPP
#define TZO_FACTORYINFO_FACTORY_DEVICE_HPP

#include <cstddef>
#include <fstream>
#include <stdexcept>

namespace tzo::factoryinfo::detail {

inline constexpr char kFactoryDevicePath[] = "/dev/mtd/by-label/FACTORY";
inline constexpr char kOpenErrorMessage[] = "unable to open factory file";

// The bytes that one read(2) asks of the partition. Every byte read from the partition comes
// from the flash chip again, and every section search rewinds to the start, so a constructor's
// three passes each read the data up to the last line they need plus the rest of the read that
// holds that line: less than one read's worth beyond it. 4 KiB keeps that overshoot at half of
// the stream's default buffer (8 KiB), keeps the reads aligned to flash pages (no NAND page of
// up to 4 KiB is fetched twice in one pass), and still needs only 256 reads a pass for 1 MiB.
inline constexpr std::size_t kFactoryReadSize = 4096;

// "/dev/mtd/by-label/FACTORY" opened read-only for the lifetime of this object. Another path
// (a copy of a partition image) is for the benchmarks and tests that read as the device does.
class FactoryDevice {
public:
    // Opens the device, or `path`, reading it kFactoryReadSize bytes at a time. Throws
    // std::invalid_argument "unable to open factory file" on failure.
    explicit FactoryDevice(const char* path = kFactoryDevicePath) {
        // A file buffer takes its buffer only before it is opened.
        m_file.rdbuf()->pubsetbuf(m_buffer, sizeof m_buffer);
        m_file.open(path, std::ios_base::in | std::ios_base::binary);
        if (m_file.fail()) {
            throw std::invalid_argument(kOpenErrorMessage);
        }
    }

    // Returns the open device as a stream.
    std::istream& stream() { return m_file; }

private:
    // libstdc++'s file buffer reads one byte less than its buffer holds, keeping that place
    // for a put-back character, so the buffer is one byte longer than a read.
    char m_buffer[kFactoryReadSize + 1];
    std::ifstream m_file;
};

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_FACTORY_DEVICE_HPP
