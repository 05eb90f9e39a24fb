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

// Keys and signatures.
inline constexpr char kNoSignaturesMessage[] =
    "this build of the factory data library has no signature support";
inline constexpr char kKeyNotPemMessage[] = "not a public key in PEM";
inline constexpr char kKeyNotEd25519Message[] = "not an Ed25519 key";
inline constexpr char kKeyPrivateMessage[] =
    "holds a private key, which must not leave the station; give the public half (openssl pkey "
    "-pubout)";
inline constexpr char kKeyWeakMessage[] =
    "a weak key: of small order, or not a point of Ed25519's group; forged signatures could "
    "pass under it";
inline constexpr char kSignatureMissingMessage[] =
    "Signature: no Signature section, which the key given requires";
inline constexpr char kSignatureRepeatedMessage[] =
    "Signature: more than one line BeginOfSignature";
inline constexpr char kSignatureUnendedMessage[] =
    "Signature: section not ended before the end of the data";
inline constexpr char kSignatureMalformedMessage[] =
    "Signature: the section must hold exactly the lines Type, KeyId and Value, in this order";
inline constexpr char kSignatureTypeMessage[] =
    "Signature: unsupported type; only ed25519 is known";
inline constexpr char kSignatureKeyIdMessage[] =
    "Signature: KeyId is not 16 lower-case hexadecimal digits";
inline constexpr char kSignatureValueMessage[] =
    "Signature: Value is not 128 lower-case hexadecimal digits";
inline constexpr char kSignatureOtherKeyMessage[] = "Signature: made by none of the keys given";
inline constexpr char kSignatureNoChecksumMessage[] =
    "Signature: no ended Checksum section for it to sign";
inline constexpr char kSignatureMismatchMessage[] =
    "Signature: does not match the Checksum section";
inline constexpr char kSigningKeyNotPemMessage[] = "not a private key in PEM";
inline constexpr char kSigningKeyEncryptedMessage[] =
    "encrypted with a passphrase; decrypt it with openssl pkey into /dev/fd/N, so that it never "
    "lies in a file unencrypted";

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
    {TZO_FI_NO_SIGNATURES, kNoSignaturesMessage},
    {TZO_FI_KEY_NOT_PEM, kKeyNotPemMessage},
    {TZO_FI_KEY_NOT_ED25519, kKeyNotEd25519Message},
    {TZO_FI_KEY_PRIVATE, kKeyPrivateMessage},
    {TZO_FI_KEY_WEAK, kKeyWeakMessage},
    {TZO_FI_SIGNATURE_MISSING, kSignatureMissingMessage},
    {TZO_FI_SIGNATURE_REPEATED, kSignatureRepeatedMessage},
    {TZO_FI_SIGNATURE_UNENDED, kSignatureUnendedMessage},
    {TZO_FI_SIGNATURE_MALFORMED, kSignatureMalformedMessage},
    {TZO_FI_SIGNATURE_TYPE, kSignatureTypeMessage},
    {TZO_FI_SIGNATURE_KEY_ID, kSignatureKeyIdMessage},
    {TZO_FI_SIGNATURE_VALUE, kSignatureValueMessage},
    {TZO_FI_SIGNATURE_OTHER_KEY, kSignatureOtherKeyMessage},
    {TZO_FI_SIGNATURE_NO_CHECKSUM, kSignatureNoChecksumMessage},
    {TZO_FI_SIGNATURE_MISMATCH, kSignatureMismatchMessage},
    {TZO_FI_SIGNING_KEY_NOT_PEM, kSigningKeyNotPemMessage},
    {TZO_FI_SIGNING_KEY_ENCRYPTED, kSigningKeyEncryptedMessage},
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
