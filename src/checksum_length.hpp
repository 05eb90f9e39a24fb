// The length that the crypto library is given, checked so that no section is summed in part.
#ifndef TZO_FACTORYINFO_CHECKSUM_LENGTH_HPP
#define TZO_FACTORYINFO_CHECKSUM_LENGTH_HPP

#include "error.hpp"

#include <cstdint>
#include <limits>

namespace tzo::factoryinfo::detail {

// The crypto library takes a 32-bit byte count; a longer text (possible on 64-bit hosts only)
// would be hashed as a truncated prefix.
// Returns `size` as that count. Throws Error "section too large to checksum"
// when it does not fit.
inline std::uint32_t checksumLength(std::uint64_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max()) {
        fail(TZO_FI_SECTION_TOO_LARGE);
    }
    return static_cast<std::uint32_t>(size);
}

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_CHECKSUM_LENGTH_HPP
