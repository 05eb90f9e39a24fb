// The C API: the objects of the C++ API behind opaque handles, and every exception turned into
// its code in one place.
#include "tzo/factoryinfo.h"
#include "tzo/factoryinfo.hpp"

#include "error.hpp"
#include "read_error.hpp"

#include <cxxabi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

using tzo::factoryinfo::FactoryData;
using tzo::factoryinfo::FactoryInfo;
using tzo::factoryinfo::ReadError;
using tzo::factoryinfo::Section;

struct tzo_fi_info {
    // Reads the "Factoryinfo" section of `in`, and lists its pairs for C.
    explicit tzo_fi_info(std::istream& in);

    FactoryInfo info;
    std::unique_ptr<tzo_fi_entry[]> entries; // into the strings of `info`, in its order
};

tzo_fi_info::tzo_fi_info(std::istream& in)
    : info(in), entries(new tzo_fi_entry[info.entries().size()]) {
    tzo_fi_entry* entry = entries.get();
    for (const auto& [key, value] : info.entries()) {
        *entry++ = {key.data(), key.size(), value.data(), value.size()};
    }
}

struct tzo_fi_section : Section {
    using Section::Section;
};

namespace {

using namespace tzo::factoryinfo::detail;

// Returns the code of the read error `error`: ReadError is public, and carries one of its two
// messages rather than a code.
int codeOf(const ReadError& error) {
    return std::strcmp(error.what(), kOpenErrorMessage) == 0 ? TZO_FI_OPEN_FAILED
                                                             : TZO_FI_READ_FAILED;
}

// What a call does with the stream of its factory data; `context` is the call's own.
using ReadBody = void (*)(std::istream& in, void* context);

// Reads the factory data of `source` through a FactoryData and runs `body` on its stream, unless
// `argumentsValid` is false or the source is not valid either. Sets *errorNumber, unless null,
// to the cause of a failed open or read, 0 otherwise. The one place where exceptions stop: only
// a thread's cancellation goes on, as it must.
// Returns TZO_FI_OK, or the code of what was thrown.
int readGuarded(const tzo_fi_source* source, int* errorNumber, bool argumentsValid, ReadBody body,
                void* context) {
    if (errorNumber != nullptr) {
        *errorNumber = 0;
    }
    if (!argumentsValid || (source != nullptr && source->path == nullptr &&
                            source->data == nullptr && source->size != 0)) {
        return TZO_FI_INVALID_ARGUMENT;
    }
    try {
        std::optional<FactoryData> data;
        if (source == nullptr) {
            data.emplace();
        } else if (source->path != nullptr) {
            data.emplace(std::string(source->path));
        } else {
            data.emplace(static_cast<const char*>(source->data), source->size);
        }
        body(data->stream(), context);
        return TZO_FI_OK;
    } catch (const abi::__forced_unwind&) {
        throw;
    } catch (const ReadError& error) {
        if (errorNumber != nullptr) {
            *errorNumber = error.errorNumber();
        }
        return codeOf(error);
    } catch (const Error& error) {
        return error.code();
    } catch (const std::bad_alloc&) {
        return TZO_FI_OUT_OF_MEMORY;
    } catch (...) {
        return TZO_FI_INTERNAL_ERROR;
    }
}

// readGuarded for a callable `read`, which takes the stream.
// Returns what readGuarded returns.
template <typename Read>
int readSource(const tzo_fi_source* source, int* errorNumber, bool argumentsValid, Read read) {
    return readGuarded(
        source, errorNumber, argumentsValid,
        [](std::istream& in, void* context) { (*static_cast<Read*>(context))(in); }, &read);
}

// Returns the name of `size` bytes at `name`, which may be null when `size` is 0.
std::string nameOf(const char* name, size_t size) {
    return name == nullptr ? std::string() : std::string(name, size);
}

// Returns the key of `entry`.
std::string_view keyOf(const tzo_fi_entry& entry) {
    return {entry.key, entry.key_size};
}

} // namespace

int tzo_fi_info_read(const tzo_fi_source* source, tzo_fi_info** info, int* error_number) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return readSource(source, error_number, info != nullptr,
                      [info](std::istream& in) { *info = new tzo_fi_info(in); });
}

int tzo_fi_info_get(const tzo_fi_info* info, const char* key, size_t key_size, const char** value,
                    size_t* value_size) {
    const std::string_view wanted(key, key_size);
    const tzo_fi_entry* begin = info->entries.get();
    const tzo_fi_entry* end = begin + info->info.entries().size();
    const tzo_fi_entry* found =
        std::lower_bound(begin, end, wanted, [](const tzo_fi_entry& entry, std::string_view k) {
            return keyOf(entry) < k;
        });
    const bool present = found != end && keyOf(*found) == wanted;
    if (value != nullptr) {
        *value = present ? found->value : "";
    }
    if (value_size != nullptr) {
        *value_size = present ? found->value_size : 0;
    }
    return present ? 1 : 0;
}

const tzo_fi_entry* tzo_fi_info_entries(const tzo_fi_info* info, size_t* count) {
    *count = info->info.entries().size();
    return info->entries.get();
}

int tzo_fi_info_verified(const tzo_fi_info* info) {
    return info->info.isChecksumValid() ? 1 : 0;
}

void tzo_fi_info_free(tzo_fi_info* info) {
    delete info;
}

int tzo_fi_section_read(const tzo_fi_source* source, const char* name, size_t name_size,
                        tzo_fi_section** section, int* error_number) {
    if (section != nullptr) {
        *section = nullptr;
    }
    const bool valid = section != nullptr && (name != nullptr || name_size == 0);
    return readSource(source, error_number, valid, [=](std::istream& in) {
        *section = new tzo_fi_section(in, nameOf(name, name_size));
    });
}

const char* tzo_fi_section_text(const tzo_fi_section* section, size_t* size) {
    if (size != nullptr) {
        *size = section->dump().size();
    }
    return section->dump().data();
}

int tzo_fi_section_verified(const tzo_fi_section* section) {
    return section->isChecksumValid() ? 1 : 0;
}

void tzo_fi_section_free(tzo_fi_section* section) {
    delete section;
}

int tzo_fi_checksum_section(const tzo_fi_source* source, const char* name, size_t name_size,
                            int* verified, int* error_number) {
    if (verified != nullptr) {
        *verified = 0;
    }
    const bool valid = verified != nullptr && (name != nullptr || name_size == 0);
    return readSource(source, error_number, valid, [=](std::istream& in) {
        *verified = tzo::factoryinfo::checksumSection(in, nameOf(name, name_size)) ? 1 : 0;
    });
}

const char* tzo_fi_message(int code) {
    return messageOf(code);
}

const char* tzo_fi_cause(int error_number) {
    return causeOf(error_number);
}
