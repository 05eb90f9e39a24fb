// The lines that record a section's sum: the entry names, the sum type and the digest.
#include "checksum_lines.hpp"

#include <tzo/crypto.hpp>

#include <cstdint>
#include <limits>
#include <stdexcept>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kSha256Type[] = "sha256";
constexpr char kTooLargeMessage[] = "section too large to checksum";

} // namespace

std::string checksumNameProblem(const std::string& name) {
    if (name.find('=') != std::string::npos) {
        return "no sum can be recorded for a section name holding \"=\": " + name;
    }
    if (name == kChecksumSection) {
        return std::string("no sum can be recorded for ") + kChecksumSection +
               ": it is the section that holds the sums";
    }
    return "";
}

std::string checksumLines(const std::string& name, const std::string& text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::invalid_argument(kTooLargeMessage);
    }
    const std::string digest =
        tzo::crypto::calculateSha256(reinterpret_cast<const std::uint8_t*>(text.data()),
                                     static_cast<std::uint32_t>(text.size()));
    return name + "Type=" + kSha256Type + '\n' + name + "Sum=" + digest + '\n';
}

} // namespace tzo::factoryinfo::tool
