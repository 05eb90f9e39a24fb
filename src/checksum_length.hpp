// The length that the crypto library is given, checked so that no section is summed in part.
#ifndef TZO_FACTORYINFO_CHECKSUM_LENGTH_HPP
#define TZO_FACTORYINFO_CHECKSUM_LENGTH_HPP

#include "messages.hpp"

#include <cstdint>
#include <limits>
#include <stdexcept>

namespace tzo::factoryinfo::detail {

// The crypto library takes a 32-bit byte count; a longer text (possible on 64-bit hosts only)
// would be hashed as a truncated prefix.
// Returns `size` as that count. Throws std::invalid_argument "section too large to checksum"
// when it does not fit.
inline std::uint32_t checksumLength(std::uint64_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max()) {
        throw std::invalid_argument(kTooLargeMessage);
    }
    return static_cast<std::uint32_t>(size);
}

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_CHECKSUM_LENGTH_HPP
