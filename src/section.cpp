// Any named section as verified raw text.
#include "tzo/factoryinfo.hpp"

#include "error.hpp"
#include "markers.hpp"
#include "read_error.hpp"

namespace tzo::factoryinfo {

std::string readSectionText(std::istream& in, const std::string& name) {
    std::string lastLine;
    // A missing section reads no line at all and ends here too, with the stream at eof.
    std::string text = getSectionAsString(in, name, lastLine);
    detail::throwIfReadError(in);
    if (in.eof() && !detail::isEndMarker(lastLine, name)) {
        detail::fail(TZO_FI_SECTION_UNENDED);
    }
    return text;
}

// The reader is a temporary of the delegating call: it stays open while the stream constructor
// reads it, and is closed when that returns or throws.
Section::Section(const std::string& name) : Section(FactoryData().stream(), name) {}

Section::Section(std::istream& in, const std::string& name)
    : m_checksumValid(false), m_content(readSectionText(in, name)) {
    m_checksumValid = checksumSection(in, name);
}

const std::string& Section::dump() const {
    return m_content;
}

} // namespace tzo::factoryinfo
