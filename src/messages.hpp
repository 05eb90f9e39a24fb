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
// A switch rather than a table of pointers: each of those would be one more relocation for the
// loader, and a word of the library's data that is read-only after relocation.
inline const char* messageOf(int code) {
    switch (code) {
    case TZO_FI_OK:
        return "no error";
    case TZO_FI_OPEN_FAILED:
        return kOpenErrorMessage;
    case TZO_FI_READ_FAILED:
        return kReadErrorMessage;
    case TZO_FI_TOO_MUCH_DATA:
        return "factory data exceeds 16 MiB";
    case TZO_FI_NO_FACTORYINFO:
        return "End of data reached before finding factory info";
    case TZO_FI_FACTORYINFO_UNENDED:
        return "end of file reached before finding end of factory info";
    case TZO_FI_SECTION_UNENDED:
        return "end of file reached before finding end of section";
    case TZO_FI_CHECKSUM_UNENDED:
        return "end of file reached before finding end of checksum section";
    case TZO_FI_MISSING_ENTRY:
        return "Missing checksum entry";
    case TZO_FI_UNSUPPORTED_SUM:
        return "Unsupported sum";
    case TZO_FI_CHECKSUM_MISMATCH:
        return "Calculated checksum do not match the provided one";
    case TZO_FI_SECTION_TOO_LARGE:
        return "section too large to checksum";
    case TZO_FI_OUT_OF_MEMORY:
        return "out of memory";
    case TZO_FI_INVALID_ARGUMENT:
        return "invalid argument: a null pointer";
    case TZO_FI_INTERNAL_ERROR:
        return "internal error of the factory data library";
    case TZO_FI_CRYPTO_FAILED:
        return "crypto library failed to compute SHA-256";
    case TZO_FI_NO_SIGNATURES:
        return "this build of the factory data library has no signature support";
    case TZO_FI_KEY_NOT_PEM:
        return "not a public key in PEM";
    case TZO_FI_KEY_NOT_ED25519:
        return "not an Ed25519 key";
    case TZO_FI_KEY_PRIVATE:
        return "holds a private key, which must not leave the station; give the public half "
               "(openssl pkey -pubout)";
    case TZO_FI_KEY_WEAK:
        return "a weak key: of small order, or not a point of Ed25519's group; forged signatures "
               "could pass under it";
    case TZO_FI_SIGNATURE_MISSING:
        return "Signature: no Signature section, which the key given requires";
    case TZO_FI_SIGNATURE_REPEATED:
        return "Signature: more than one line BeginOfSignature";
    case TZO_FI_SIGNATURE_UNENDED:
        return "Signature: section not ended before the end of the data";
    case TZO_FI_SIGNATURE_MALFORMED:
        return "Signature: the section must hold exactly the lines Type, KeyId and Value, in this "
               "order";
    case TZO_FI_SIGNATURE_TYPE:
        return "Signature: unsupported type; only ed25519 is known";
    case TZO_FI_SIGNATURE_KEY_ID:
        return "Signature: KeyId is not 16 lower-case hexadecimal digits";
    case TZO_FI_SIGNATURE_VALUE:
        return "Signature: Value is not 128 lower-case hexadecimal digits";
    case TZO_FI_SIGNATURE_OTHER_KEY:
        return "Signature: made by none of the keys given";
    case TZO_FI_SIGNATURE_NO_CHECKSUM:
        return "Signature: no ended Checksum section for it to sign";
    case TZO_FI_SIGNATURE_MISMATCH:
        return "Signature: does not match the Checksum section";
    case TZO_FI_SIGNING_KEY_NOT_PEM:
        return "not a private key in PEM";
    case TZO_FI_SIGNING_KEY_ENCRYPTED:
        return "encrypted with a passphrase; decrypt it with openssl pkey into /dev/fd/N, so that "
               "it never lies in a file unencrypted";
    }
    return "unknown error code";
}

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_MESSAGES_HPP
