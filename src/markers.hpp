// The lines that begin and end a section, told from the others.
#ifndef TZO_FACTORYINFO_MARKERS_HPP
#define TZO_FACTORYINFO_MARKERS_HPP

#include <string_view>

namespace tzo::factoryinfo::detail {

// Returns true when `line` is the begin marker of the section `name`, "BeginOf" + name.
bool isBeginMarker(std::string_view line, std::string_view name);

// Returns true when `line` is the end marker of the section `name`, "EndOf" + name.
bool isEndMarker(std::string_view line, std::string_view name);

// Returns true when `line` is "EndOfData", after which readers find no line.
bool isDataEnd(std::string_view line);

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_MARKERS_HPP
