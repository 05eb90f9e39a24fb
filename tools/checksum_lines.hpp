// The lines that record a section's sum in the Checksum section, as sum prints them and seal
// writes them.
#ifndef TZO_FACTORYINFO_TOOL_CHECKSUM_LINES_HPP
#define TZO_FACTORYINFO_TOOL_CHECKSUM_LINES_HPP

#include <string>

namespace tzo::factoryinfo::tool {

inline constexpr char kChecksumSection[] = "Checksum";

// Returns why no sum can be recorded for section `name`, or "" when one can. Entries of the
// Checksum section are split at their first "=", so the entries of a name holding "=" would
// never be found again; and the Checksum section holds the sums, it cannot have one.
std::string checksumNameProblem(const std::string& name);

// Returns the lines "NAMEType=sha256" and "NAMESum=<hex digest>" for section `name` whose text
// is `text`, the digest computed with the function that verification calls.
// Throws std::invalid_argument when the text is too large to checksum.
std::string checksumLines(const std::string& name, const std::string& text);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_CHECKSUM_LINES_HPP
