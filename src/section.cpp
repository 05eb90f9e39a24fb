// Any named section as verified raw text.
#include "tzo/factoryinfo.hpp"

#include "factory_device.hpp"
#include "read_error.hpp"

#include <stdexcept>

namespace tzo::factoryinfo {

namespace {

constexpr char kEndPrefix[] = "EndOf";

constexpr char kUnendedMessage[] = "end of file reached before finding end of section";

} // namespace

// The device object is a temporary of the delegating call: it stays open while the stream
// constructor reads it, and is closed when that returns or throws.
Section::Section(const std::string& name) : Section(detail::FactoryDevice().stream(), name) {}

Section::Section(std::istream& in, const std::string& name) : m_checksumValid(false) {
    std::string lastLine;

    // A missing section reads no line at all and ends here too, with the stream at eof.
    m_content = getSectionAsString(in, name, lastLine);
    detail::throwIfReadError(in);
    if (in.eof() && lastLine != kEndPrefix + name) {
        throw std::invalid_argument(kUnendedMessage);
    }

    m_checksumValid = checksumSection(in, name);
}

const std::string& Section::dump() const {
    return m_content;
}

} // namespace tzo::factoryinfo
