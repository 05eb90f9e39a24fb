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
#include <vector>

using tzo::factoryinfo::FactoryData;
using tzo::factoryinfo::FactoryInfo;
using tzo::factoryinfo::PublicKey;
using tzo::factoryinfo::ReadError;
using tzo::factoryinfo::Section;

struct tzo_fi_info {
    // Reads the "Factoryinfo" section of `in`, and lists its pairs for C.
    explicit tzo_fi_info(std::istream& in);

    FactoryInfo info;
    std::vector<tzo_fi_entry> entries; // into the strings of `info`, in its order
};

tzo_fi_info::tzo_fi_info(std::istream& in) : info(in), entries(info.entries().size()) {
    tzo_fi_entry* entry = entries.data();
    for (const auto& [key, value] : info.entries()) {
        *entry++ = {key.data(), key.size(), value.data(), value.size()};
    }
}

struct tzo_fi_section : Section {
    using Section::Section;
};

struct tzo_fi_data {
    std::unique_ptr<FactoryData> data;
};

struct tzo_fi_key {
    PublicKey key;
};

namespace {

using namespace tzo::factoryinfo::detail;

// Returns the code of the read error `error`: ReadError is public, and carries one of its two
// messages rather than a code.
int codeOf(const ReadError& error) {
    return std::strcmp(error.what(), messageOf(TZO_FI_OPEN_FAILED)) == 0 ? TZO_FI_OPEN_FAILED
                                                                         : TZO_FI_READ_FAILED;
}

// What a call does; `context` is the call's own.
using Body = void (*)(void* context);

// Runs `body` on `context`, unless `argumentsValid` is false. Sets *errorNumber, unless null, to
// the cause of a failed open or read, 0 otherwise. The one place where exceptions stop: only a
// thread's cancellation goes on, as it must.
// Returns TZO_FI_OK, or the code of what was thrown.
int guarded(int* errorNumber, bool argumentsValid, Body body, void* context) {
    if (errorNumber != nullptr) {
        *errorNumber = 0;
    }
    if (!argumentsValid) {
        return TZO_FI_INVALID_ARGUMENT;
    }
    try {
        body(context);
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

// guarded for a callable `run`, which takes no argument.
// Returns what guarded returns.
template <typename Run>
int guard(int* errorNumber, bool argumentsValid, Run run) {
    return guarded(
        errorNumber, argumentsValid, [](void* context) { (*static_cast<Run*>(context))(); }, &run);
}

// Returns true when `source` is null or describes some data: a path, or bytes of any length at a
// pointer, or no bytes.
bool isValid(const tzo_fi_source* source) {
    return source == nullptr || source->path != nullptr || source->data != nullptr ||
           source->size == 0;
}

// Returns a new FactoryData that reads `source`.
std::unique_ptr<FactoryData> openSource(const tzo_fi_source* source) {
    // No source is the partition, which FactoryData() reads.
    const char* path = source == nullptr ? tzo::factoryinfo::kFactoryDevicePath : source->path;
    if (path != nullptr) {
        return std::make_unique<FactoryData>(std::string(path));
    }
    return std::make_unique<FactoryData>(static_cast<const char*>(source->data), source->size);
}

// guard for a callable `read`, which takes the stream of the factory data of `source`, read
// through a FactoryData; a source that is not valid is an invalid argument too.
// Returns what guarded returns.
template <typename Read>
int readSource(const tzo_fi_source* source, int* errorNumber, bool argumentsValid, Read read) {
    return guard(errorNumber, argumentsValid && isValid(source),
                 [&] { read(openSource(source)->stream()); });
}

// Returns the name of `size` bytes at `name`, which may be null when `size` is 0.
std::string nameOf(const char* name, size_t size) {
    return name == nullptr ? std::string() : std::string(name, size);
}

// Throws Error TZO_FI_NO_SIGNATURES in a library built without signatures, where no key can be
// read and nothing verified; returns otherwise. Inline, so that such a build leaves out the code
// that would hold keys after it.
inline void requireSignatures() {
    if (!TZO_FACTORYINFO_HAS_SIGNATURES) {
        fail(TZO_FI_NO_SIGNATURES);
    }
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
    const tzo_fi_entry* begin = info->entries.data();
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
    return info->entries.data();
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

int tzo_fi_data_read(const tzo_fi_source* source, tzo_fi_data** data, int* error_number) {
    if (data != nullptr) {
        *data = nullptr;
    }
    return guard(error_number, data != nullptr && isValid(source), [=] {
        auto read = std::make_unique<tzo_fi_data>(tzo_fi_data{openSource(source)});
        // Up to the end of the data: every later pass is served from what is kept.
        std::istream& in = read->data->stream();
        std::string line;
        while (tzo::factoryinfo::getLine(in, line)) {
        }
        throwIfReadError(in);
        *data = read.release();
    });
}

void tzo_fi_data_free(tzo_fi_data* data) {
    delete data;
}

int tzo_fi_key_read(const char* pem, size_t pem_size, tzo_fi_key** key) {
    if (key != nullptr) {
        *key = nullptr;
    }
    const bool valid = key != nullptr && (pem != nullptr || pem_size == 0);
    return guard(nullptr, valid, [=] {
        requireSignatures();
        *key = new tzo_fi_key{PublicKey(nameOf(pem, pem_size))};
    });
}

const char* tzo_fi_key_id(const tzo_fi_key* key) {
    return key->key.id().c_str();
}

void tzo_fi_key_free(tzo_fi_key* key) {
    delete key;
}

int tzo_fi_data_verify(tzo_fi_data* data, const tzo_fi_key* const* keys, size_t key_count) {
    const bool valid = data != nullptr && (keys != nullptr || key_count == 0) &&
                       std::find(keys, keys + key_count, nullptr) == keys + key_count;
    return guard(nullptr, valid, [=] {
        requireSignatures();
        std::vector<PublicKey> trusted;
        for (size_t i = 0; i < key_count; ++i) {
            trusted.push_back(keys[i]->key);
        }
        data->data->verifySignature(trusted);
    });
}

int tzo_fi_data_info(tzo_fi_data* data, tzo_fi_info** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return guard(nullptr, data != nullptr && info != nullptr,
                 [=] { *info = new tzo_fi_info(data->data->stream()); });
}

int tzo_fi_data_section(tzo_fi_data* data, const char* name, size_t name_size,
                        tzo_fi_section** section) {
    if (section != nullptr) {
        *section = nullptr;
    }
    const bool valid = data != nullptr && section != nullptr && (name != nullptr || name_size == 0);
    return guard(nullptr, valid, [=] {
        *section = new tzo_fi_section(data->data->stream(), nameOf(name, name_size));
    });
}

const char* tzo_fi_message(int code) {
    return messageOf(code);
}

const char* tzo_fi_cause(int error_number) {
    return causeOf(error_number);
}
