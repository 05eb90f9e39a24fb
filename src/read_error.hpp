// The check that keeps a failed read from passing as the end of the data.
#ifndef TZO_FACTORYINFO_READ_ERROR_HPP
#define TZO_FACTORYINFO_READ_ERROR_HPP

#include "error.hpp"

#include "tzo/factoryinfo.hpp"

#include <istream>

namespace tzo::factoryinfo::detail {

// Returns the cause of a read error in words: "uncorrectable ECC error" for EBADMSG, the
// refusal of NAND through its MTD block device, which names the device to read instead, for
// EMEDIUMTYPE, strerror's text for another error number `errorNumber`, and "" for 0 (not known).
const char* causeOf(int errorNumber);

// The reading functions stop on any failed read, but only the end of the data sets eof. A read
// that failed without eof (an input error, which sets bad, or a failed rewind) would otherwise
// pass as a section found and ended with whatever was read before.
// Throws ReadError "error reading factory data", its cause unknown, when the last read on `in`
// failed in that way; returns otherwise.
inline void throwIfReadError(const std::istream& in) {
    if (in.bad() || (in.fail() && !in.eof())) {
        failRead(0);
    }
}

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_READ_ERROR_HPP
