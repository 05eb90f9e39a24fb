// The "Factoryinfo" section as a verified key/value object.
#include "tzo/factoryinfo.hpp"

#include "factory_device.hpp"
#include "read_error.hpp"

#include <stdexcept>
#include <utility>

namespace tzo::factoryinfo {

namespace {

constexpr char kFactoryInfoSection[] = "Factoryinfo";
constexpr char kFactoryInfoEndMarker[] = "EndOfFactoryinfo";

constexpr char kNotFoundMessage[] = "End of data reached before finding factory info";
constexpr char kUnendedMessage[] = "end of file reached before finding end of factory info";

// Returns the answer for absent keys. std::string has no constant initialization in C++17, so
// it is built on first use instead: no caller, however early in a program's start, can see it
// unconstructed.
const std::string& emptyValue() {
    static const std::string empty;
    return empty;
}

} // namespace

// The device object is a temporary of the delegating call: it stays open while the stream
// constructor reads it, and is closed when that returns or throws.
FactoryInfo::FactoryInfo() : FactoryInfo(detail::FactoryDevice().stream()) {}

FactoryInfo::FactoryInfo(std::istream& in) : m_checksumValid(false) {
    std::string lastLine;

    seekBeginOfSection(in, kFactoryInfoSection);
    detail::throwIfReadError(in);
    if (in.eof()) {
        throw std::invalid_argument(kNotFoundMessage);
    }

    std::map<std::string, std::string> entries = getSectionAsMap(in, kFactoryInfoSection, lastLine);
    detail::throwIfReadError(in);
    if (in.eof() && lastLine != kFactoryInfoEndMarker) {
        throw std::invalid_argument(kUnendedMessage);
    }

    m_entries = std::move(entries);
    m_checksumValid = checksumSection(in, kFactoryInfoSection);
}

const std::string& FactoryInfo::operator[](const std::string& key) const {
    const auto entry = m_entries.find(key);
    return entry == m_entries.end() ? emptyValue() : entry->second;
}

} // namespace tzo::factoryinfo
