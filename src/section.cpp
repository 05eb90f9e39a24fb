// Any named section as verified raw text.
#include "tzo/factoryinfo.hpp"

namespace tzo::factoryinfo {

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
