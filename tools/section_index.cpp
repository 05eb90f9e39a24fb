// Finding every section of factory data in one pass, by the rules that readers find one by.
#include "section_index.hpp"

#include <tzo/factoryinfo.hpp>

namespace tzo::factoryinfo::tool {

namespace {

// Returns the name that the marker `line` carries after `prefix`, or nothing when it does not
// start with `prefix`.
std::optional<std::string> markedName(const std::string& line, std::string_view prefix) {
    if (line.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    return line.substr(prefix.size());
}

} // namespace

void SectionIndex::add(const std::string& line, bool last) {
    const std::size_t lineBegin = m_data.size();
    m_data.append(line).append(1, '\n');
    if (const auto name = markedName(line, kEndPrefix)) {
        const auto section = m_sectionOfName.find(*name);
        if (section != m_sectionOfName.end() && !m_sections[section->second].ended) {
            m_sections[section->second].bodyEnd = lineBegin;
            m_sections[section->second].ended = true;
        }
        return;
    }
    const auto name = markedName(line, kBeginPrefix);
    if (name && !last && m_sectionOfName.emplace(*name, m_sections.size()).second) {
        m_sections.push_back({*name, m_data.size(), m_data.size(), false});
    }
}

std::string_view SectionIndex::text(const Found& section) const {
    return std::string_view(m_data).substr(section.bodyBegin, section.bodyEnd - section.bodyBegin);
}

std::optional<std::string_view> SectionIndex::text(const std::string& name) const {
    const auto section = m_sectionOfName.find(name);
    if (section == m_sectionOfName.end() || !m_sections[section->second].ended) {
        return std::nullopt;
    }
    return text(m_sections[section->second]);
}

SectionIndex indexSections(std::istream& in) {
    SectionIndex index;
    std::string line;
    while (getLine(in, line)) { // up to the line EndOfData, after which getLine fails
        index.add(line, in.eof());
    }
    return index;
}

} // namespace tzo::factoryinfo::tool
