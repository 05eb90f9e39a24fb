// The check of a MAC address and the offset arithmetic, done on the address as one number, so
// that a carry goes from octet to octet and never silently into the OUI.
#include "mac_address.hpp"

#include "status.hpp"

#include <cstddef>
#include <cstdio>
#include <optional>

namespace tzo::factoryinfo::tool {

namespace {

constexpr std::size_t kOctets = 6;
constexpr std::size_t kTextLength = kOctets * 3 - 1; // XX:XX:XX:XX:XX:XX
constexpr std::uint64_t kBroadcast = 0xffffffffffff;
constexpr std::uint64_t kMulticastBit = std::uint64_t{1} << 40; // bit 0 of the first octet
constexpr char kForm[] = "six octets XX:XX:XX:XX:XX:XX";

// Returns the value of the hexadecimal digit `c`; nothing for any other byte.
std::optional<unsigned> hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<unsigned>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    return std::nullopt;
}

// Returns the 48-bit address written in `text`, first octet highest; nothing unless `text` is
// exactly six octets of two hexadecimal digits joined by ":".
std::optional<std::uint64_t> parseAddress(const std::string& text) {
    if (text.size() != kTextLength) {
        return std::nullopt;
    }
    std::uint64_t address = 0;
    for (std::size_t at = 0; at < kTextLength; at += 3) {
        const std::optional<unsigned> high = hexDigit(text[at]);
        const std::optional<unsigned> low = hexDigit(text[at + 1]);
        if (!high || !low || (at + 2 < kTextLength && text[at + 2] != ':')) {
            return std::nullopt;
        }
        address = address << 8 | (*high << 4 | *low);
    }
    return address;
}

// Returns `address` as six lower-case octets joined by ":".
std::string formatAddress(std::uint64_t address) {
    char text[kTextLength + 1];
    std::snprintf(
        text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x",
        static_cast<unsigned>(address >> 40 & 0xff), static_cast<unsigned>(address >> 32 & 0xff),
        static_cast<unsigned>(address >> 24 & 0xff), static_cast<unsigned>(address >> 16 & 0xff),
        static_cast<unsigned>(address >> 8 & 0xff), static_cast<unsigned>(address & 0xff));
    return text;
}

// Returns why no interface may take `address`; empty when it may.
std::string refusal(std::uint64_t address) {
    if (address == kBroadcast) {
        return "is the broadcast address";
    }
    if ((address & kMulticastBit) != 0) {
        return "is a multicast address";
    }
    if (address == 0) {
        return "is the all-zero address";
    }
    return "";
}

} // namespace

std::uint32_t macOffset(const std::string& text) {
    const std::string message = "the offset of a MAC address is +N, N from 0 to " +
                                std::to_string(kMaxMacOffset) + ", not \"" + text + "\"";
    if (text.size() < 2 || text[0] != '+') {
        throw Failure(kUsageError, message);
    }
    std::uint32_t offset = 0;
    for (std::size_t at = 1; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') {
            throw Failure(kUsageError, message);
        }
        offset = offset * 10 + static_cast<std::uint32_t>(text[at] - '0');
        if (offset > kMaxMacOffset) { // before it could overflow
            throw Failure(kUsageError, message);
        }
    }
    return offset;
}

std::string offsetMacAddress(const std::string& key, const std::string& value,
                             std::uint32_t offset) {
    const std::optional<std::uint64_t> address = parseAddress(value);
    if (!address) {
        throw Failure(kDataError, key + ": \"" + value + "\" is not a MAC address: " + kForm);
    }
    const std::string refused = refusal(*address);
    if (!refused.empty()) {
        throw Failure(kDataError, key + ": " + value + " " + refused);
    }
    if ((*address & kMaxMacOffset) + offset > kMaxMacOffset) {
        throw Failure(kDataError, key + ": " + value + " +" + std::to_string(offset) +
                                      " carries into the OUI " + value.substr(0, 8));
    }
    return formatAddress(*address + offset);
}

} // namespace tzo::factoryinfo::tool
