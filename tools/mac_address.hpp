// MAC addresses as the factory data records them: checked before an interface is given one, and
// offset within the device's own part, as routers derive one address per interface from a base.
#ifndef TZO_FACTORYINFO_TOOL_MAC_ADDRESS_HPP
#define TZO_FACTORYINFO_TOOL_MAC_ADDRESS_HPP

#include <cstdint>
#include <string>

namespace tzo::factoryinfo::tool {

// The largest offset: the last three octets are the device's own part of the address, the first
// three the maker's OUI.
inline constexpr std::uint32_t kMaxMacOffset = 0xffffff;

// Returns N of the offset argument `text`, written "+N" with N in decimal, at most
// kMaxMacOffset. Throws Failure (kUsageError) for anything else.
std::uint32_t macOffset(const std::string& text);

// Returns the address in `value` plus `offset`, as six lower-case octets XX:XX:XX:XX:XX:XX, the
// way the kernel shows addresses. Throws Failure (kDataError) naming `key` when `value` is not
// six octets of two hexadecimal digits (either case) joined by ":", when it is the broadcast, a
// multicast or the all-zero address, and when the offset would carry into the OUI.
std::string offsetMacAddress(const std::string& key, const std::string& value,
                             std::uint32_t offset);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_MAC_ADDRESS_HPP
