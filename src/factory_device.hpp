// The factory partition, opened the same way by every object that reads it.
#ifndef TZO_FACTORYINFO_FACTORY_DEVICE_HPP
#define TZO_FACTORYINFO_FACTORY_DEVICE_HPP

#include "read_once.hpp"

#include <cstddef>
#include <fstream>
#include <stdexcept>

namespace tzo::factoryinfo::detail {

inline constexpr char kFactoryDevicePath[] = "/dev/mtd/by-label/FACTORY";
inline constexpr char kOpenErrorMessage[] = "unable to open factory file";

// The bytes that one read(2) asks of the partition. Every byte read from the partition comes
// from the flash chip, so it is read once, and only up to the last line that a constructor
// needs plus the rest of the read that holds that line: less than one read's worth beyond it.
// 4 KiB keeps that overshoot at half of the stream's default buffer (8 KiB), keeps the reads
// aligned to flash pages (no NAND page of up to 4 KiB is fetched twice), and still needs only
// 256 reads for 1 MiB.
inline constexpr std::size_t kFactoryReadSize = 4096;

// "/dev/mtd/by-label/FACTORY" opened read-only for the lifetime of this object, and read once
// through ReadOnceData, which keeps what has been read until this object is destroyed.
// Another path (a copy of a partition image) is for the benchmarks and tests that read as the
// device does.
class FactoryDevice {
public:
    // Opens the device, or `path`, reading it kFactoryReadSize bytes at a time. Throws
    // std::invalid_argument "unable to open factory file" on failure. Not inlined: both objects
    // construct a device, and on the device one copy of this code is enough.
    __attribute__((noinline)) explicit FactoryDevice(const char* path = kFactoryDevicePath) {
        // A file buffer takes its buffer only before it is opened.
        m_file.pubsetbuf(m_buffer, sizeof m_buffer);
        if (m_file.open(path, std::ios_base::in | std::ios_base::binary) == nullptr) {
            throw std::invalid_argument(kOpenErrorMessage);
        }
    }

    // Returns the data of the open device as a stream, which throws std::invalid_argument when
    // a read fails (see ReadOnceData).
    std::istream& stream() { return m_data.stream(); }

private:
    // libstdc++'s file buffer reads one byte less than its buffer holds, keeping that place
    // for a put-back character, so the buffer is one byte longer than a read.
    char m_buffer[kFactoryReadSize + 1];
    std::filebuf m_file;
    ReadOnceData m_data{&m_file}; // reads m_file, so it goes first
};

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_FACTORY_DEVICE_HPP
