// The section names that a sum can be recorded for.
#include "checksum_names.hpp"

#include <tzo/factoryinfo.hpp>

namespace tzo::factoryinfo::tool {

std::string checksumNameProblem(const std::string& name) {
    if (name.find('=') != std::string::npos) {
        return "no sum can be recorded for a section name holding \"=\": " + name;
    }
    if (name == kChecksumSection) {
        return std::string("no sum can be recorded for ") + kChecksumSection +
               ": it is the section that holds the sums";
    }
    if (name == kSignatureSection) {
        return std::string("no sum can be recorded for ") + kSignatureSection +
               ": it signs the section that would hold its sum";
    }
    return "";
}

} // namespace tzo::factoryinfo::tool
