// The messages of the C API's codes.
#include "messages.hpp"

#include <cstring>

namespace tzo::factoryinfo::detail {

namespace {

// The last code of the C API: a new code goes after it, and its message at the end of kMessages.
constexpr int kLastCode = TZO_FI_SIGNING_KEY_ENCRYPTED;

// The messages of the codes from TZO_FI_OK to kLastCode, in the order of the codes, each ended
// by a NUL. One string rather than a table of pointers or a switch: each pointer would be one
// more relocation for the loader, and each case of a switch more code.
constexpr char kMessages[] =
    // TZO_FI_OK
    "no error\0"
    // TZO_FI_OPEN_FAILED and TZO_FI_READ_FAILED: kOpenErrorMessage and kReadErrorMessage, which
    // are in the public header
    "\0"
    "\0"
    // TZO_FI_TOO_MUCH_DATA
    "factory data exceeds 16 MiB\0"
    // TZO_FI_NO_FACTORYINFO
    "End of data reached before finding factory info\0"
    // TZO_FI_FACTORYINFO_UNENDED
    "end of file reached before finding end of factory info\0"
    // TZO_FI_SECTION_UNENDED
    "end of file reached before finding end of section\0"
    // TZO_FI_CHECKSUM_UNENDED
    "end of file reached before finding end of checksum section\0"
    // TZO_FI_MISSING_ENTRY
    "Missing checksum entry\0"
    // TZO_FI_UNSUPPORTED_SUM
    "Unsupported sum\0"
    // TZO_FI_CHECKSUM_MISMATCH
    "Calculated checksum do not match the provided one\0"
    // TZO_FI_SECTION_TOO_LARGE
    "section too large to checksum\0"
    // TZO_FI_OUT_OF_MEMORY
    "out of memory\0"
    // TZO_FI_INVALID_ARGUMENT
    "invalid argument: a null pointer\0"
    // TZO_FI_INTERNAL_ERROR
    "internal error of the factory data library\0"
    // TZO_FI_CRYPTO_FAILED
    "crypto library failed to compute SHA-256\0"
    // TZO_FI_NO_SIGNATURES
    "this build of the factory data library has no signature support\0"
    // TZO_FI_KEY_NOT_PEM
    "not a public key in PEM\0"
    // TZO_FI_KEY_NOT_ED25519
    "not an Ed25519 key\0"
    // TZO_FI_KEY_PRIVATE
    "holds a private key, which must not leave the station; give the public half (openssl "
    "pkey -pubout)\0"
    // TZO_FI_KEY_WEAK
    "a weak key: of small order, or not a point of Ed25519's group; forged signatures could "
    "pass under it\0"
    // TZO_FI_SIGNATURE_MISSING
    "Signature: no Signature section, which the key given requires\0"
    // TZO_FI_SIGNATURE_REPEATED
    "Signature: more than one line BeginOfSignature\0"
    // TZO_FI_SIGNATURE_UNENDED
    "Signature: section not ended before the end of the data\0"
    // TZO_FI_SIGNATURE_MALFORMED
    "Signature: the section must hold exactly the lines Type, KeyId and Value, in this "
    "order\0"
    // TZO_FI_SIGNATURE_TYPE
    "Signature: unsupported type; only ed25519 is known\0"
    // TZO_FI_SIGNATURE_KEY_ID
    "Signature: KeyId is not 16 lower-case hexadecimal digits\0"
    // TZO_FI_SIGNATURE_VALUE
    "Signature: Value is not 128 lower-case hexadecimal digits\0"
    // TZO_FI_SIGNATURE_OTHER_KEY
    "Signature: made by none of the keys given\0"
    // TZO_FI_SIGNATURE_NO_CHECKSUM
    "Signature: no ended Checksum section for it to sign\0"
    // TZO_FI_SIGNATURE_MISMATCH
    "Signature: does not match the Checksum section\0"
    // TZO_FI_SIGNING_KEY_NOT_PEM
    "not a private key in PEM\0"
    // TZO_FI_SIGNING_KEY_ENCRYPTED
    "encrypted with a passphrase; decrypt it with openssl pkey into /dev/fd/N, so that it "
    "never lies in a file unencrypted\0";

// Returns the number of messages in kMessages, as its NULs count them.
constexpr int countOfMessages() {
    int nuls = 0;
    for (const char c : kMessages) {
        nuls += c == '\0' ? 1 : 0;
    }
    return nuls - 1; // the last is the string's own
}

static_assert(countOfMessages() == kLastCode + 1, "kMessages holds one message per code");

} // namespace

const char* messageOf(int code) {
    if (code == TZO_FI_OPEN_FAILED) {
        return kOpenErrorMessage;
    }
    if (code == TZO_FI_READ_FAILED) {
        return kReadErrorMessage;
    }
    if (code < TZO_FI_OK || code > kLastCode) {
        return "unknown error code";
    }
    const char* message = kMessages;
    for (int passed = TZO_FI_OK; passed < code; ++passed) {
        message += std::strlen(message) + 1;
    }
    return message;
}

} // namespace tzo::factoryinfo::detail
