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
    TZO_FI_CRYPTO_FAILED = 15       /* "crypto library failed to compute SHA-256": the
                                       platform's libtzo-gw-crypto.so.1 failed other than by
                                       running out of memory */
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
