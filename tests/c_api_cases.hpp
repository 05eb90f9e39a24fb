// The C API on the data of a case, compared with the C++ API on the same data: each reader, and
// the lookup of every key and of keys that nearly match one, must give the same.
#ifndef TZO_FACTORYINFO_C_API_CASES_HPP
#define TZO_FACTORYINFO_C_API_CASES_HPP

#include <tzo/factoryinfo.h>
#include <tzo/factoryinfo.hpp>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tzo::factoryinfo::test {

// Returns the `size` bytes at `text` after their length, marked when no NUL byte follows them.
inline std::string counted(const char* text, std::size_t size) {
    return std::to_string(size) + ":" + std::string(text, size) + (text[size] ? "!NUL " : " ");
}

// Returns what `lookup` gives for each key of `keys`, for its near misses, with a CR after it
// and without its last byte, and for a key absent from all data.
inline std::string lookupsOf(const std::vector<std::string>& keys,
                             const std::function<std::string(const std::string&)>& lookup) {
    std::string out = lookup("Absent");
    for (const std::string& key : keys)
        out += lookup(key) + lookup(key + "\r") + lookup(key.substr(0, key.size() - !key.empty()));
    return out + "\n";
}

// Returns what the C++ API gives for the Factoryinfo section, section `name` and its sum, each
// read from a FactoryData over `data`, as cApiOutcomes writes it for the C API.
inline std::string cxxOutcomes(const std::string& name, const std::string& data) {
    const auto outcome = [&](const std::function<std::string(std::istream&)>& read) {
        try {
            FactoryData source(data.data(), data.size());
            return read(source.stream());
        } catch (const std::invalid_argument& error) {
            return std::string("!") + error.what() + "\n";
        }
    };
    const auto info = [](std::istream& in) {
        const FactoryInfo info(in);
        std::string out;
        std::vector<std::string> keys;
        for (const auto& [key, value] : info.entries()) {
            out += counted(key.c_str(), key.size()) + "= " + counted(value.c_str(), value.size());
            keys.push_back(key);
        }
        return out + (info.isChecksumValid() ? "verified\n" : "\n") +
               lookupsOf(keys, [&](const std::string& key) {
                   return (info.entries().count(key) ? "+" : "-") +
                          counted(info[key].c_str(), info[key].size());
               });
    };
    const auto section = [&](std::istream& in) {
        const Section section(in, name);
        return counted(section.dump().c_str(), section.dump().size()) +
               (section.isChecksumValid() ? "verified\n" : "\n");
    };
    return outcome(info) + outcome(section) +
           outcome([&](std::istream& in) { return checksumSection(in, name) ? "1\n" : "0\n"; });
}

// Returns what the C API gives for the same, each read from memory, marking a cause given for a
// failure other than a read error and a result not cleared by a failure.
inline std::string cApiOutcomes(const std::string& name, const std::string& data) {
    const tzo_fi_source source = {nullptr, data.data(), data.size()};
    const auto failure = [](int code, int errorNumber, bool cleared) {
        return std::string("!") + tzo_fi_message(code) + (errorNumber != 0 ? " with a cause" : "") +
               (cleared ? "" : " with a result") + "\n";
    };
    char sentinel = 0; // what the results point to until a call sets them
    std::string out;
    int errorNumber = -1;
    auto* info = reinterpret_cast<tzo_fi_info*>(&sentinel);
    if (const int code = tzo_fi_info_read(&source, &info, &errorNumber)) {
        out += failure(code, errorNumber, info == nullptr);
    } else {
        std::size_t count = 0;
        const tzo_fi_entry* entries = tzo_fi_info_entries(info, &count);
        std::vector<std::string> keys;
        for (const tzo_fi_entry* entry = entries; entry != entries + count; ++entry) {
            out += counted(entry->key, entry->key_size) + "= " +
                   counted(entry->value, entry->value_size);
            keys.emplace_back(entry->key, entry->key_size);
        }
        out += tzo_fi_info_verified(info) ? "verified\n" : "\n";
        out += lookupsOf(keys, [&](const std::string& key) {
            const char* value = nullptr;
            std::size_t size = 0;
            const int present = tzo_fi_info_get(info, key.data(), key.size(), &value, &size);
            return (present ? "+" : "-") + counted(value, size);
        });
        tzo_fi_info_free(info);
    }

    auto* section = reinterpret_cast<tzo_fi_section*>(&sentinel);
    if (const int code =
            tzo_fi_section_read(&source, name.data(), name.size(), &section, &errorNumber)) {
        out += failure(code, errorNumber, section == nullptr);
    } else {
        std::size_t size = 0;
        const char* text = tzo_fi_section_text(section, &size);
        out += counted(text, size) + (tzo_fi_section_verified(section) ? "verified\n" : "\n");
        tzo_fi_section_free(section);
    }

    int verified = -1;
    if (const int code =
            tzo_fi_checksum_section(&source, name.data(), name.size(), &verified, &errorNumber)) {
        out += failure(code, errorNumber, verified == 0);
    } else {
        out += verified ? "1\n" : "0\n";
    }
    return out;
}

// Returns "" when the C API gives for section `name` of `data` what the C++ API gives, or both,
// as lines that start with two blanks.
inline std::string cApiDifference(const std::string& name, const std::string& data) {
    const std::string cxx = cxxOutcomes(name, data), c = cApiOutcomes(name, data);
    return cxx == c ? "" : "  the C API differs; C++:\n  " + cxx + "  C:\n  " + c;
}

} // namespace tzo::factoryinfo::test

#endif // TZO_FACTORYINFO_C_API_CASES_HPP
