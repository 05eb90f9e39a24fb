// The check that keeps a failed read from passing as the end of the data.
#ifndef TZO_FACTORYINFO_READ_ERROR_HPP
#define TZO_FACTORYINFO_READ_ERROR_HPP

#include <istream>
#include <stdexcept>

namespace tzo::factoryinfo::detail {

inline constexpr char kReadErrorMessage[] = "error reading factory data";

// The reading functions stop on any failed read, but only the end of the data sets eof. A read
// that failed without eof (an input error, which sets bad, or a failed rewind) would otherwise
// pass as a section found and ended with whatever was read before.
// Throws std::invalid_argument "error reading factory data" when the last read on `in` failed
// in that way; returns otherwise.
inline void throwIfReadError(const std::istream& in) {
    if (in.bad() || (in.fail() && !in.eof())) {
        throw std::invalid_argument(kReadErrorMessage);
    }
}

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_READ_ERROR_HPP
