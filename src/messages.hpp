// The library's messages, each defined once, here or (those of ReadError) in the public header:
// every failure of the library is reported with the message of its code, word for word, for C++
// and C alike (error.hpp).
#ifndef TZO_FACTORYINFO_MESSAGES_HPP
#define TZO_FACTORYINFO_MESSAGES_HPP

#include "tzo/factoryinfo.h"
#include "tzo/factoryinfo.hpp"

namespace tzo::factoryinfo::detail {

// Opening and reading the factory data: the messages of ReadError are in the public header.
using tzo::factoryinfo::kOpenErrorMessage;
using tzo::factoryinfo::kReadErrorMessage;

// Returns the message of the C API's code `code`, or "unknown error code" for a code that the
// C API does not define. tests/c_api_test.cpp checks that every code has its own message.
const char* messageOf(int code);

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_MESSAGES_HPP
