// Every section of factory data found in one pass, by the rules that readers find one by.
#include "tzo/factoryinfo.hpp"

#include "markers.hpp"
#include "read_error.hpp"

#include <cstring>

namespace tzo::factoryinfo {

namespace {

using Entry = SectionIndex::Entry;

constexpr std::size_t kBeginPrefixSize = sizeof kBeginPrefix - 1;
constexpr std::size_t kEndPrefixSize = sizeof kEndPrefix - 1;

// Returns true when `line` starts with `prefix` of `size` characters.
bool startsWith(const std::string& line, const char* prefix, std::size_t size) {
    return line.size() >= size && std::memcmp(line.data(), prefix, size) == 0;
}

// Takes the line `line`, which starts at `lineBegin` and ends at `lineEnd`, into `sections`, the
// sections as readers find them, with `sectionOfName` their index by name. Returns nothing.
void addForReaders(const std::string& line, std::size_t lineBegin, std::size_t lineEnd,
                   std::vector<Entry>& sections,
                   std::map<std::string, std::size_t>& sectionOfName) {
    if (startsWith(line, kEndPrefix, kEndPrefixSize)) {
        const auto found = sectionOfName.find(line.substr(kEndPrefixSize));
        if (found != sectionOfName.end() && !sections[found->second].ended) {
            Entry& section = sections[found->second];
            section.bodyEnd = lineBegin;
            section.end = lineEnd;
            section.ended = true;
        }
        return;
    }
    if (!startsWith(line, kBeginPrefix, kBeginPrefixSize)) {
        return;
    }
    const auto added = sectionOfName.emplace(line.substr(kBeginPrefixSize), sections.size());
    if (!added.second) {
        ++sections[added.first->second].beginLines;
        return;
    }
    // A begin marker on the last line is entered too: no line can end its section.
    sections.push_back(Entry{added.first->first, lineBegin, lineEnd, lineEnd, lineEnd, false, 1});
}

// Takes the line `line`, which starts at `lineBegin` and ends at `lineEnd`, into `layout`, the
// sections as they stand. Returns nothing.
void addToLayout(const std::string& line, std::size_t lineBegin, std::size_t lineEnd,
                 std::vector<Entry>& layout) {
    if (!layout.empty() && !layout.back().ended) {
        Entry& section = layout.back();
        section.ended = detail::isEndMarker(line, section.name);
        section.bodyEnd = section.ended ? lineBegin : lineEnd;
        section.end = lineEnd;
        return;
    }
    if (startsWith(line, kBeginPrefix, kBeginPrefixSize)) {
        layout.push_back(
            Entry{line.substr(kBeginPrefixSize), lineBegin, lineEnd, lineEnd, lineEnd, false, 1});
    }
}

} // namespace

SectionIndex::SectionIndex(std::istream& in) : m_dataEnd(0) {
    in.clear();
    in.seekg(0, std::ios_base::beg);
    std::string line;
    while (getLine(in, line)) { // up to the line EndOfData, after which getLine fails
        const std::size_t lineBegin = m_data.size();
        m_data.append(line).append(1, '\n');
        addForReaders(line, lineBegin, m_data.size(), m_sections, m_sectionOfName);
        if (detail::isDataEnd(line)) {
            m_dataEnd = lineBegin;
            break;
        }
        m_dataEnd = m_data.size();
        addToLayout(line, lineBegin, m_data.size(), m_layout);
    }
    detail::throwIfReadError(in);
    for (Entry& section : m_sections) {
        if (!section.ended) {
            section.bodyEnd = section.end = m_data.size();
        }
    }
}

// Defined here, so that the containers' code is not repeated in every unit that uses one.
SectionIndex::~SectionIndex() = default;

const SectionIndex::Entry* SectionIndex::find(const std::string& name) const {
    const auto found = m_sectionOfName.find(name);
    return found == m_sectionOfName.end() ? nullptr : &m_sections[found->second];
}

std::string SectionIndex::text(const Entry& section) const {
    return m_data.substr(section.bodyBegin, section.bodyEnd - section.bodyBegin);
}

} // namespace tzo::factoryinfo
