/* tzo-gw-factoryinfo for C and for other languages with a C foreign function interface.
 *
 * The same reading as the C++ API of <tzo/factoryinfo.hpp>, with the same results and the same
 * messages, from the same shared object; that header describes the factory data. Every name here
 * starts with tzo_fi_ (TZO_FI_ for constants).
 *
 * - Factory data is read from the device "/dev/mtd/by-label/FACTORY", a file or memory, as a
 *   struct tzo_fi_source says, and read once, no more than 16 MiB of it.
 * - tzo_fi_info_read gives the key/value pairs of the "Factoryinfo" section, tzo_fi_section_read
 *   any section as text, each verified against the sum that the "Checksum" section records for
 *   it; tzo_fi_checksum_section gives only that verdict.
 * - tzo_fi_data_read reads the data once into a handle, which tzo_fi_data_verify checks against
 *   the trusted keys (its Signature section) and from which tzo_fi_data_info and
 *   tzo_fi_data_section read: a program that accepts signed data only reads what was checked.
 * - Factory data may hold NUL bytes, so names, keys, values and texts go with their lengths in
 *   bytes. Those handed out are also followed by a NUL byte, not counted in the length, so that
 *   they can be used as C strings where they hold none.
 * - A handle is immutable once made and may be shared between threads. Each kind has one
 *   function that frees it; what it hands out lives as long as it does.
 * - A function that can fail returns TZO_FI_OK or one of the error codes below, each with its
 *   own message (tzo_fi_message), and leaves no partial result behind. A failure to open or read
 *   the data also gives its cause, the errno of the call that failed, through an optional
 *   argument. Nothing is kept between calls; the library never prints.
 * - No C++ exception leaves a function, not even for a failed allocation. A thread cancelled
 *   while a call reads the data ends as in read(2), with nothing left behind.
 */
#ifndef TZO_FACTORYINFO_H
#define TZO_FACTORYINFO_H

#include <stddef.h>

#if defined(__GNUC__)
#define TZO_FI_API __attribute__((visibility("default")))
#else
#define TZO_FI_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The outcome of a call, and each failure's message as tzo_fi_message returns it. */
enum tzo_fi_code {
    TZO_FI_OK = 0,                  /* "no error" */
    TZO_FI_OPEN_FAILED = 1,         /* "unable to open factory file" */
    TZO_FI_READ_FAILED = 2,         /* "error reading factory data" */
    TZO_FI_TOO_MUCH_DATA = 3,       /* "factory data exceeds 16 MiB" */
    TZO_FI_NO_FACTORYINFO = 4,      /* "End of data reached before finding factory info" */
    TZO_FI_FACTORYINFO_UNENDED = 5, /* "end of file reached before finding end of factory
                                       info" */
    TZO_FI_SECTION_UNENDED = 6,     /* "end of file reached before finding end of section":
                                       the section is missing, or not properly ended */
    TZO_FI_CHECKSUM_UNENDED = 7,    /* "end of file reached before finding end of checksum
                                       section" */
    TZO_FI_MISSING_ENTRY = 8,       /* "Missing checksum entry": only one of the two entries
                                       of a section is recorded */
    TZO_FI_UNSUPPORTED_SUM = 9,     /* "Unsupported sum": the type is not exactly "sha256" */
    TZO_FI_CHECKSUM_MISMATCH = 10,  /* "Calculated checksum do not match the provided one" */
    TZO_FI_SECTION_TOO_LARGE = 11,  /* "section too large to checksum": over 4294967295 bytes */
    TZO_FI_OUT_OF_MEMORY = 12,      /* "out of memory" */
    TZO_FI_INVALID_ARGUMENT = 13,   /* "invalid argument: a null pointer" where a result goes,
                                       or for bytes of a length other than 0 */
    TZO_FI_INTERNAL_ERROR = 14,     /* "internal error of the factory data library": a failure
                                       that the library does not know; please report it */
    TZO_FI_CRYPTO_FAILED = 15,      /* "crypto library failed to compute SHA-256": the
                                       platform's libtzo-gw-crypto.so.1 failed other than by
                                       running out of memory */
    /* Keys, and the signature of the factory data (see tzo_fi_data_verify). */
    TZO_FI_NO_SIGNATURES = 16,      /* "this build of the factory data library has no signature
                                       support" */
    TZO_FI_KEY_NOT_PEM = 17,        /* "not a public key in PEM" */
    TZO_FI_KEY_NOT_ED25519 = 18,    /* "not an Ed25519 key" */
    TZO_FI_KEY_PRIVATE = 19,        /* "holds a private key, which must not leave the station;
                                       give the public half (openssl pkey -pubout)" */
    TZO_FI_KEY_WEAK = 20,           /* "a weak key: of small order, or not a point of Ed25519's
                                       group; forged signatures could pass under it" */
    TZO_FI_SIGNATURE_MISSING = 21,  /* "Signature: no Signature section, which the key given
                                       requires" */
    TZO_FI_SIGNATURE_REPEATED = 22, /* "Signature: more than one line BeginOfSignature" */
    TZO_FI_SIGNATURE_UNENDED = 23,  /* "Signature: section not ended before the end of the
                                       data" */
    TZO_FI_SIGNATURE_MALFORMED = 24, /* "Signature: the section must hold exactly the lines
                                        Type, KeyId and Value, in this order" */
    TZO_FI_SIGNATURE_TYPE = 25,     /* "Signature: unsupported type; only ed25519 is known" */
    TZO_FI_SIGNATURE_KEY_ID = 26,   /* "Signature: KeyId is not 16 lower-case hexadecimal
                                       digits" */
    TZO_FI_SIGNATURE_VALUE = 27,    /* "Signature: Value is not 128 lower-case hexadecimal
                                       digits" */
    TZO_FI_SIGNATURE_OTHER_KEY = 28, /* "Signature: made by none of the keys given" */
    TZO_FI_SIGNATURE_NO_CHECKSUM = 29, /* "Signature: no ended Checksum section for it to
                                          sign" */
    TZO_FI_SIGNATURE_MISMATCH = 30, /* "Signature: does not match the Checksum section": the
                                       data or the signature was changed after signing */
    TZO_FI_SIGNING_KEY_NOT_PEM = 31, /* "not a private key in PEM" */
    TZO_FI_SIGNING_KEY_ENCRYPTED = 32 /* "encrypted with a passphrase; decrypt it with openssl
                                         pkey into /dev/fd/N, so that it never lies in a file
                                         unencrypted" */
};

/* Where factory data is read from. A null pointer to it reads "/dev/mtd/by-label/FACTORY". */
struct tzo_fi_source {
    const char* path; /* a device or file, as a C string; a null pointer reads `data` */
    const void* data; /* with no path: the `size` bytes at `data`, read as a device is read,
                         which must not change during the call (a null pointer for no bytes) */
    size_t size;
};

/* One key/value pair of a key/value section. Both are followed by a NUL byte. */
struct tzo_fi_entry {
    const char* key;
    size_t key_size;
    const char* value;
    size_t value_size;
};

/* The verified key/value pairs of the "Factoryinfo" section, as the C++ class FactoryInfo. */
typedef struct tzo_fi_info tzo_fi_info;

/* The verified text of one named section, as the C++ class Section. */
typedef struct tzo_fi_section tzo_fi_section;

/* Reads the "Factoryinfo" section of `source` and verifies it against the "Checksum" section,
 * as the C++ FactoryInfo does, and sets *info to a new handle that holds it (to NULL on failure).
 * Free it with tzo_fi_info_free.
 * Returns TZO_FI_OK; TZO_FI_OPEN_FAILED, TZO_FI_READ_FAILED or TZO_FI_TOO_MUCH_DATA;
 * TZO_FI_NO_FACTORYINFO or TZO_FI_FACTORYINFO_UNENDED; any code of tzo_fi_checksum_section, as a
 * recorded sum must match; TZO_FI_OUT_OF_MEMORY; TZO_FI_INVALID_ARGUMENT when `info` is NULL.
 * `error_number`, unless NULL, is set to the cause of TZO_FI_OPEN_FAILED or TZO_FI_READ_FAILED:
 * the errno of the call that failed, EBADMSG for an uncorrectable ECC error on NAND, or 0 when
 * not known; and to 0 for every other outcome. */
TZO_FI_API int tzo_fi_info_read(const struct tzo_fi_source* source, tzo_fi_info** info,
                                int* error_number);

/* Looks up the `key_size` bytes at `key` among the keys of `info`, and sets *value and
 * *value_size (each unless NULL) to its value, or to an empty string for an absent key.
 * Returns 1 when the key is present, 0 when it is absent. */
TZO_FI_API int tzo_fi_info_get(const tzo_fi_info* info, const char* key, size_t key_size,
                               const char** value, size_t* value_size);

/* Returns every pair of `info`, ordered by key as unsigned bytes (a prefix before the longer
 * key), and sets *count to their number. */
TZO_FI_API const struct tzo_fi_entry* tzo_fi_info_entries(const tzo_fi_info* info, size_t* count);

/* Returns 1 when a sum was recorded for "Factoryinfo" and matched, 0 when none was. */
TZO_FI_API int tzo_fi_info_verified(const tzo_fi_info* info);

/* Frees `info` and all that it handed out; NULL is ignored. Returns nothing. */
TZO_FI_API void tzo_fi_info_free(tzo_fi_info* info);

/* Reads the section named by the `name_size` bytes at `name` from `source` and verifies it
 * against the "Checksum" section, as the C++ Section does, and sets *section to a new handle
 * that holds it (to NULL on failure). Free it with tzo_fi_section_free.
 * Returns TZO_FI_OK; TZO_FI_OPEN_FAILED, TZO_FI_READ_FAILED or TZO_FI_TOO_MUCH_DATA;
 * TZO_FI_SECTION_UNENDED when the section is missing or not properly ended; any code of
 * tzo_fi_checksum_section; TZO_FI_OUT_OF_MEMORY; TZO_FI_INVALID_ARGUMENT when `section` is NULL,
 * or `name` is NULL with a size. `error_number` is set as by tzo_fi_info_read. */
TZO_FI_API int tzo_fi_section_read(const struct tzo_fi_source* source, const char* name,
                                   size_t name_size, tzo_fi_section** section, int* error_number);

/* Returns the text of `section`, each body line followed by one LF and without the markers, and
 * sets *size (unless NULL) to its length. */
TZO_FI_API const char* tzo_fi_section_text(const tzo_fi_section* section, size_t* size);

/* Returns 1 when a sum was recorded for the section and matched, 0 when none was. */
TZO_FI_API int tzo_fi_section_verified(const tzo_fi_section* section);

/* Frees `section` and its text; NULL is ignored. Returns nothing. */
TZO_FI_API void tzo_fi_section_free(tzo_fi_section* section);

/* Verifies the section named by the `name_size` bytes at `name` of `source` against the entries
 * name + "Type" and name + "Sum" of the "Checksum" section, as the C++ checksumSection does, and
 * sets *verified to 1 when a sum is recorded and matches, to 0 when there is no "Checksum"
 * section or it has neither entry for the name. A missing section is summed as empty text.
 * Returns TZO_FI_OK; TZO_FI_OPEN_FAILED, TZO_FI_READ_FAILED or TZO_FI_TOO_MUCH_DATA;
 * TZO_FI_CHECKSUM_UNENDED, TZO_FI_MISSING_ENTRY, TZO_FI_UNSUPPORTED_SUM,
 * TZO_FI_CHECKSUM_MISMATCH, TZO_FI_SECTION_TOO_LARGE or TZO_FI_CRYPTO_FAILED;
 * TZO_FI_OUT_OF_MEMORY; TZO_FI_INVALID_ARGUMENT when `verified` is NULL, or `name` is NULL with a size.
 * `error_number` is set as by tzo_fi_info_read. */
TZO_FI_API int tzo_fi_checksum_section(const struct tzo_fi_source* source, const char* name,
                                       size_t name_size, int* verified, int* error_number);

/* Factory data read once, for programs that check its signature and then read from the very
 * bytes that were checked: read it into a handle, verify the handle against the trusted keys,
 * and read the info and sections from that handle. Nothing is read from the source after
 * tzo_fi_data_read returns, so data that changes on the device meanwhile cannot pass. A handle
 * is used by one thread at a time; the info and section handles made from it are independent
 * of it, and may be shared. */
typedef struct tzo_fi_data tzo_fi_data;

/* An Ed25519 public key that checks signatures (docs/format.md describes the Signature section
 * that it checks). Immutable; it may be shared between threads. */
typedef struct tzo_fi_key tzo_fi_key;

/* Reads the factory data of `source` up to its end of data, as every reader reads it, and sets
 * *data to a new handle that holds it (to NULL on failure). A memory source may change or go
 * once this returns. Free it with tzo_fi_data_free.
 * Returns TZO_FI_OK; TZO_FI_OPEN_FAILED, TZO_FI_READ_FAILED or TZO_FI_TOO_MUCH_DATA;
 * TZO_FI_OUT_OF_MEMORY; TZO_FI_INVALID_ARGUMENT when `data` is NULL. `error_number` is set as by
 * tzo_fi_info_read. */
TZO_FI_API int tzo_fi_data_read(const struct tzo_fi_source* source, tzo_fi_data** data,
                                int* error_number);

/* Frees `data`; NULL is ignored. Returns nothing. */
TZO_FI_API void tzo_fi_data_free(tzo_fi_data* data);

/* Reads the public key from the `pem_size` bytes at `pem`, the text of a PEM file as
 * `openssl pkey -pubout` writes it, and sets *key to a new handle that holds it (to NULL on
 * failure). Free it with tzo_fi_key_free.
 * Returns TZO_FI_OK; TZO_FI_KEY_NOT_PEM, TZO_FI_KEY_NOT_ED25519, TZO_FI_KEY_PRIVATE or
 * TZO_FI_KEY_WEAK; TZO_FI_NO_SIGNATURES; TZO_FI_OUT_OF_MEMORY; TZO_FI_INVALID_ARGUMENT when `key`
 * is NULL, or `pem` is NULL with a size. */
TZO_FI_API int tzo_fi_key_read(const char* pem, size_t pem_size, tzo_fi_key** key);

/* Returns the id of `key`, as the KeyId line of a Signature section names it: 16 lower-case
 * hexadecimal digits, as a C string that lives as long as `key`. */
TZO_FI_API const char* tzo_fi_key_id(const tzo_fi_key* key);

/* Frees `key`; NULL is ignored. Returns nothing. */
TZO_FI_API void tzo_fi_key_free(tzo_fi_key* key);

/* Checks that `data` holds one Signature section, well-formed, made over the text of its
 * Checksum section by the one of the `key_count` keys at `keys` that its KeyId names, as the
 * C++ verifySignature does. Give the old and the new key while a fleet changes over.
 * Returns TZO_FI_OK when it does; TZO_FI_SIGNATURE_MISMATCH when the data or the signature was
 * changed after signing; TZO_FI_SIGNATURE_OTHER_KEY when none of the keys made it; another
 * TZO_FI_SIGNATURE_ code for a missing, repeated, unended or malformed section, or one without
 * a Checksum section; TZO_FI_NO_SIGNATURES; TZO_FI_OUT_OF_MEMORY when the check could not run;
 * TZO_FI_INVALID_ARGUMENT when `data` is NULL, `keys` is NULL with a count, or a key is NULL. */
TZO_FI_API int tzo_fi_data_verify(tzo_fi_data* data, const tzo_fi_key* const* keys,
                                  size_t key_count);

/* As tzo_fi_info_read, on the data of `data` instead of a source; `data` stays as it is.
 * Returns the codes of tzo_fi_info_read but those of opening and reading, and
 * TZO_FI_INVALID_ARGUMENT when `data` or `info` is NULL. */
TZO_FI_API int tzo_fi_data_info(tzo_fi_data* data, tzo_fi_info** info);

/* As tzo_fi_section_read, on the data of `data` instead of a source; `data` stays as it is.
 * Returns the codes of tzo_fi_section_read but those of opening and reading, and
 * TZO_FI_INVALID_ARGUMENT when `data` or `section` is NULL, or `name` is NULL with a size. */
TZO_FI_API int tzo_fi_data_section(tzo_fi_data* data, const char* name, size_t name_size,
                                   tzo_fi_section** section);

/* Returns the library's message for `code`, word for word that of the C++ API's exception for
 * the same failure, or "unknown error code" for a code not listed above. */
TZO_FI_API const char* tzo_fi_message(int code);

/* Returns the cause of a read error in words, as the C++ ReadError::cause does: "uncorrectable
 * ECC error" for EBADMSG, strerror's text for another error number, "" for 0. */
TZO_FI_API const char* tzo_fi_cause(int error_number);

#ifdef __cplusplus
}
#endif

#endif /* TZO_FACTORYINFO_H */
