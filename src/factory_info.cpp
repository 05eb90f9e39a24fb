// The "Factoryinfo" section as a verified key/value object.
#include "tzo/factoryinfo.hpp"

#include "error.hpp"
#include "markers.hpp"
#include "read_error.hpp"

#include <stdexcept>
#include <utility>

namespace tzo::factoryinfo {

namespace {

// Returns the answer for absent keys. std::string has no constant initialization in C++17, so
// it is built on first use instead: no caller, however early in a program's start, can see it
// unconstructed.
const std::string& emptyValue() {
    static const std::string empty;
    return empty;
}

} // namespace

// The reader is a temporary of the delegating call: it stays open while the stream constructor
// reads it, and is closed when that returns or throws.
FactoryInfo::FactoryInfo() : FactoryInfo(FactoryData().stream()) {}

FactoryInfo::FactoryInfo(std::istream& in) : m_checksumValid(false) {
    const std::string name = kFactoryInfoSection;
    std::string lastLine;

    seekBeginOfSection(in, name);
    detail::throwIfReadError(in);
    if (in.eof()) {
        detail::fail(TZO_FI_NO_FACTORYINFO);
    }

    // A failure below leaves no object behind, so the pairs may go straight into it.
    m_entries = getSectionAsMap(in, name, lastLine);
    detail::throwIfReadError(in);
    if (in.eof() && !detail::isEndMarker(lastLine, name)) {
        detail::fail(TZO_FI_FACTORYINFO_UNENDED);
    }

    m_checksumValid = checksumSection(in, name);
}

const std::string& FactoryInfo::operator[](const std::string& key) const {
    const auto entry = m_entries.find(key);
    return entry == m_entries.end() ? emptyValue() : entry->second;
}

} // namespace tzo::factoryinfo
