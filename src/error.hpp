// The library's own failures, each carrying the C API's code for it.
#ifndef TZO_FACTORYINFO_ERROR_HPP
#define TZO_FACTORYINFO_ERROR_HPP

#include "messages.hpp"

#include "tzo/factoryinfo.h"

#include <stdexcept>
#include <string>

namespace tzo::factoryinfo::detail {

// A failure of the library: to C++ callers the std::invalid_argument that the header promises,
// with the message of its code; to the C API, the code itself, so that no message is ever
// compared to find it. Hidden: programs catch it as std::invalid_argument.
class __attribute__((visibility("hidden"))) Error : public std::invalid_argument {
public:
    // The failure with the C API's code `code` and the message that messageOf gives for it.
    explicit Error(int code) : std::invalid_argument(messageOf(code)), m_code(code) {}

    // The failure with the code `code` and the message `message`: the code's own message
    // followed by what only this failure knows (the C API gives the code's message alone).
    Error(int code, const std::string& message)
        : std::invalid_argument(message.c_str()), m_code(code) {}

    // Out of line, in error.cpp: its virtual table and type information, which a catch by
    // type needs, are made there alone.
    ~Error() override;

    // Returns the C API's code of the failure.
    int code() const noexcept { return m_code; }

private:
    int m_code;
};

// Throws Error with the code `code`; never returns. Out of line, as failRead: a failure is
// rare, and one copy of the throw serves every call.
[[noreturn]] __attribute__((cold)) void fail(int code);

// Throws ReadError "error reading factory data" with the cause `errorNumber`, 0 when it is not
// known; never returns.
[[noreturn]] __attribute__((cold)) void failRead(int errorNumber);

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_ERROR_HPP
