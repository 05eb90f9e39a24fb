// The tool's exit statuses and the failure that carries one.
#ifndef TZO_FACTORYINFO_TOOL_STATUS_HPP
#define TZO_FACTORYINFO_TOOL_STATUS_HPP

#include <stdexcept>
#include <string>

namespace tzo::factoryinfo::tool {

enum ExitStatus : int {
    kSuccess = 0,
    kDataError = 1,  // the data cannot be read, is malformed, or fails verification
    kUsageError = 2, // unknown command or option, wrong arguments
    kAbsentKey = 3,  // get: a key is absent
    kNoChecksum = 4, // no checksum is recorded where one was asked for
};

// A failure of the tool's own, with the exit status it ends the tool with.
class Failure : public std::runtime_error {
public:
    Failure(ExitStatus status, const std::string& message)
        : std::runtime_error(message), m_status(status) {}

    // Returns the exit status for this failure.
    ExitStatus status() const { return m_status; }

private:
    ExitStatus m_status;
};

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_STATUS_HPP
