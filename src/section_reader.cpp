// Line reading and section extraction: the one place that knows how the factory data is laid
// out in lines, markers and key/value pairs.
#include "tzo/factoryinfo.hpp"

namespace tzo::factoryinfo {

namespace {

constexpr char kBeginPrefix[] = "BeginOf";
constexpr char kEndPrefix[] = "EndOf";
constexpr char kDataEndLine[] = "EndOfData";

} // namespace

std::istream& getLine(std::istream& in, std::string& line) {
    std::getline(in, line);
    if (!in.fail() && line == kDataEndLine) {
        in.setstate(std::ios_base::eofbit);
    }
    return in;
}

std::istream& seekBeginOfSection(std::istream& in, const std::string& name) {
    // Clear first: a stream with fail set ignores the seek.
    in.clear();
    in.seekg(0, std::ios_base::beg);

    const std::string beginMarker = kBeginPrefix + name;
    std::string line;
    while (getLine(in, line)) {
        if (line == beginMarker) {
            break;
        }
    }
    return in;
}

std::string getSectionAsString(std::istream& in, const std::string& name, std::string& lastLine) {
    std::string text;
    seekBeginOfSection(in, name);

    const std::string endMarker = kEndPrefix + name;
    while (getLine(in, lastLine) && lastLine != endMarker) {
        text += lastLine;
        text += '\n';
    }
    return text;
}

std::map<std::string, std::string> getSectionAsMap(std::istream& in, const std::string& name,
                                                   std::string& lastLine) {
    std::map<std::string, std::string> entries;

    const std::string endMarker = kEndPrefix + name;
    while (getLine(in, lastLine) && lastLine != endMarker) {
        const std::string::size_type separator = lastLine.find('=');
        if (separator == std::string::npos) {
            continue;
        }
        // try_emplace leaves an existing key alone: the first line of a key wins.
        entries.try_emplace(lastLine.substr(0, separator), lastLine, separator + 1);
    }
    return entries;
}

} // namespace tzo::factoryinfo
