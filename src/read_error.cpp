// The failure to open or read factory data, with its cause.
#include "tzo/factoryinfo.hpp"

#include "read_error.hpp"

#include <cerrno>
#include <cstring>

namespace tzo::factoryinfo {

ReadError::ReadError(const char* message, int errorNumber)
    : std::invalid_argument(message), m_errorNumber(errorNumber) {}

// Defined here, so that the type information that programs catch by lives in the library.
ReadError::~ReadError() noexcept = default;

const char* ReadError::cause() const {
    return detail::causeOf(m_errorNumber);
}

const char* detail::causeOf(int errorNumber) {
    if (errorNumber == 0) {
        return "";
    }
    // The kernel's own code for an uncorrectable ECC error, which strerror calls "Bad message".
    if (errorNumber == EBADMSG) {
        return "uncorrectable ECC error";
    }
    // The library's refusal of NAND flash read through the MTD block driver, whose device
    // /dev/mtdblockN has the same N as the character device that reads it soundly.
    if (errorNumber == EMEDIUMTYPE) {
        return "NAND flash through its block device /dev/mtdblockN, which reads bad blocks as "
               "data: use /dev/mtdN";
    }
    return std::strerror(errorNumber);
}

} // namespace tzo::factoryinfo
