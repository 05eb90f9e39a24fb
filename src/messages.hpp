// The library's messages, each defined once, here or (those of ReadError) in the public header:
// every failure of the library is reported with one of these, word for word.
#ifndef TZO_FACTORYINFO_MESSAGES_HPP
#define TZO_FACTORYINFO_MESSAGES_HPP

#include "tzo/factoryinfo.h"
#include "tzo/factoryinfo.hpp"

namespace tzo::factoryinfo::detail {

// Opening and reading the factory data: the messages of ReadError are in the public header.
using tzo::factoryinfo::kOpenErrorMessage;
using tzo::factoryinfo::kReadErrorMessage;
inline constexpr char kTooMuchDataMessage[] = "factory data exceeds 16 MiB";

// Finding the sections.
inline constexpr char kFactoryInfoNotFoundMessage[] =
    "End of data reached before finding factory info";
inline constexpr char kFactoryInfoUnendedMessage[] =
    "end of file reached before finding end of factory info";
inline constexpr char kSectionUnendedMessage[] =
    "end of file reached before finding end of section";

// Verifying a section against the Checksum section.
inline constexpr char kChecksumUnendedMessage[] =
    "end of file reached before finding end of checksum section";
inline constexpr char kMissingEntryMessage[] = "Missing checksum entry";
inline constexpr char kUnsupportedSumMessage[] = "Unsupported sum";
inline constexpr char kMismatchMessage[] = "Calculated checksum do not match the provided one";
inline constexpr char kTooLargeMessage[] = "section too large to checksum";
inline constexpr char kCryptoFailedMessage[] = "crypto library failed to compute SHA-256";

// The outcomes that only the C API reports as such.
inline constexpr char kNoErrorMessage[] = "no error";
inline constexpr char kOutOfMemoryMessage[] = "out of memory";
inline constexpr char kInvalidArgumentMessage[] = "invalid argument: a null pointer";
inline constexpr char kInternalErrorMessage[] = "internal error of the factory data library";
inline constexpr char kUnknownCodeMessage[] = "unknown error code";

// A code of the C API and its message.
struct CodedMessage {
    int code;
    const char* message;
};

// Each message above with the C API's code for it: a failure of the library carries its code
// (error.hpp), and its message comes from here, for C++ and C alike. tests/c_api_test.cpp checks
// that every code has its own message.
inline constexpr CodedMessage kCodedMessages[] = {
    {TZO_FI_OK, kNoErrorMessage},
    {TZO_FI_OPEN_FAILED, kOpenErrorMessage},
    {TZO_FI_READ_FAILED, kReadErrorMessage},
    {TZO_FI_TOO_MUCH_DATA, kTooMuchDataMessage},
    {TZO_FI_NO_FACTORYINFO, kFactoryInfoNotFoundMessage},
    {TZO_FI_FACTORYINFO_UNENDED, kFactoryInfoUnendedMessage},
    {TZO_FI_SECTION_UNENDED, kSectionUnendedMessage},
    {TZO_FI_CHECKSUM_UNENDED, kChecksumUnendedMessage},
    {TZO_FI_MISSING_ENTRY, kMissingEntryMessage},
    {TZO_FI_UNSUPPORTED_SUM, kUnsupportedSumMessage},
    {TZO_FI_CHECKSUM_MISMATCH, kMismatchMessage},
    {TZO_FI_SECTION_TOO_LARGE, kTooLargeMessage},
    {TZO_FI_OUT_OF_MEMORY, kOutOfMemoryMessage},
    {TZO_FI_INVALID_ARGUMENT, kInvalidArgumentMessage},
    {TZO_FI_INTERNAL_ERROR, kInternalErrorMessage},
    {TZO_FI_CRYPTO_FAILED, kCryptoFailedMessage},
};

// Returns the message of the C API's code `code`, or "unknown error code" for a code not listed
// above.
inline const char* messageOf(int code) {
    for (const CodedMessage& coded : kCodedMessages) {
        if (coded.code == code) {
            return coded.message;
        }
    }
    return kUnknownCodeMessage;
}

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_MESSAGES_HPP
