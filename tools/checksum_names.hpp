// The section names that a sum can be recorded for in the Checksum section.
#ifndef TZO_FACTORYINFO_TOOL_CHECKSUM_NAMES_HPP
#define TZO_FACTORYINFO_TOOL_CHECKSUM_NAMES_HPP

#include <string>

namespace tzo::factoryinfo::tool {

// Returns why no sum can be recorded for section `name`, or "" when one can. Entries of the
// Checksum section are split at their first "=", so the entries of a name holding "=" would
// never be found again; the Checksum section holds the sums, it cannot have one; and the
// Signature section signs the Checksum section, which cannot hold its sum.
std::string checksumNameProblem(const std::string& name);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_CHECKSUM_NAMES_HPP
