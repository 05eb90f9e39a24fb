// Key/value sections: their lines split into pairs. Apart from the line reader, as a section is
// split once per reading, on a few hundred bytes, and its map's code is best kept small.
#include "tzo/factoryinfo.hpp"

#include "markers.hpp"

namespace tzo::factoryinfo {

std::map<std::string, std::string> getSectionAsMap(std::istream& in, const std::string& name,
                                                   std::string& lastLine) {
    std::map<std::string, std::string> entries;

    while (getLine(in, lastLine) && !detail::isEndMarker(lastLine, name)) {
        const std::string::size_type separator = lastLine.find('=');
        if (separator == std::string::npos) {
            continue;
        }
        // emplace leaves an existing key alone: the first line of a key wins.
        entries.emplace(lastLine.substr(0, separator), lastLine.substr(separator + 1));
    }
    return entries;
}

} // namespace tzo::factoryinfo
