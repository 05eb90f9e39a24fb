// The factory partition, opened the same way by every object that reads it.
#ifndef TZO_FACTORYINFO_FACTORY_DEVICE_HPP
#define TZO_FACTORYINFO_FACTORY_DEVICE_HPP

#include <fstream>
#include <stdexcept>

namespace tzo::factoryinfo::detail {

inline constexpr char kFactoryDevicePath[] = "/dev/mtd/by-label/FACTORY";
inline constexpr char kOpenErrorMessage[] = "unable to open factory file";

// "/dev/mtd/by-label/FACTORY" opened read-only for the lifetime of this object. Another path
// (a copy of a partition image) is for the benchmarks and tests that read as the device does.
class FactoryDevice {
public:
    // Opens the device, or `path`. Throws std::invalid_argument "unable to open factory file" on
    // failure.
    explicit FactoryDevice(const char* path = kFactoryDevicePath)
        : m_file(path, std::ios_base::in | std::ios_base::binary) {
        if (m_file.fail()) {
            throw std::invalid_argument(kOpenErrorMessage);
        }
    }

    // Returns the open device as a stream.
    std::istream& stream() { return m_file; }

private:
    std::ifstream m_file;
};

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_FACTORY_DEVICE_HPP
