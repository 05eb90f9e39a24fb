// The sections of factory data as readers find them, all found in one pass over the lines.
#ifndef TZO_FACTORYINFO_TOOL_SECTION_INDEX_HPP
#define TZO_FACTORYINFO_TOOL_SECTION_INDEX_HPP

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tzo::factoryinfo::tool {

// The lines of factory data up to its end, and where readers find each section in them. Readers
// search every section from the start of the data, so a section named N is found at the first
// line BeginOf + N, wherever it stands (inside the body of another section too), and ends at the
// next line EndOf + N. Fed line by line, the index finds them all at once, where the library's
// search of one section takes a pass of its own.
class SectionIndex {
public:
    // A section that readers find: where its body lies in data(), up to its end marker.
    struct Found {
        std::string name;
        std::size_t bodyBegin;
        std::size_t bodyEnd; // where the end marker starts, once ended
        bool ended;
    };

    // Takes the next line of the data, without its LF, as getLine gives it; `last` when no line
    // can follow it (getLine has set eof): a begin marker there starts nothing.
    void add(const std::string& line, bool last);

    // Returns every line taken, each followed by LF.
    const std::string& data() const { return m_data; }

    // Returns the sections that readers find, in the order their begin markers stand.
    const std::vector<Found>& sections() const { return m_sections; }

    // Returns the text of `section`: its body lines, each followed by LF.
    std::string_view text(const Found& section) const;

    // Returns the text of the section called `name` as readers read it, or nothing when they
    // cannot read it: it is missing, or not ended before the end of the data.
    std::optional<std::string_view> text(const std::string& name) const;

private:
    std::string m_data;
    std::vector<Found> m_sections;
    std::unordered_map<std::string, std::size_t> m_sectionOfName; // index into m_sections
};

// Returns the index of the data of `in`, read from where it stands up to its end with getLine. A
// failed read leaves with the exception of `in` (a FactoryData's stream throws the library's).
SectionIndex indexSections(std::istream& in);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_SECTION_INDEX_HPP
