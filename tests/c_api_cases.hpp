// The C API on the data of a case, written as the case runner writes the C++ API's outcome of
// the same reader, so that the two can be compared.
#ifndef TZO_FACTORYINFO_C_API_CASES_HPP
#define TZO_FACTORYINFO_C_API_CASES_HPP

#include <tzo/factoryinfo.h>
#include <tzo/factoryinfo.hpp>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tzo::factoryinfo::test {

// Writes `text` with every byte visible (test_support.hpp).
inline std::string shown(const std::string& text);

// Returns the `size` bytes at `text` as shown() writes them, marked when no NUL byte follows.
inline std::string shownCounted(const char* text, std::size_t size) {
    return shown(std::string(text, size)) + (text[size] != '\0' ? " without a NUL after it" : "");
}

// Returns what the C API gives for the reader `what` of the case runner ("checksumSection",
// "Section" or "FactoryInfo") on section `name` of `data` in memory, as the runner writes what
// the C++ API gives; a failure as "!" and its message, marked when it gives a cause other than
// for a failed read, or leaves a result behind.
inline std::string cApiOutcome(const std::string& what, const std::string& name,
                               const std::string& data) {
    const tzo_fi_source source = {nullptr, data.data(), data.size()};
    char sentinel = 0; // what the results point to until a call sets them
    auto* info = reinterpret_cast<tzo_fi_info*>(&sentinel);
    auto* section = reinterpret_cast<tzo_fi_section*>(&sentinel);
    int errorNumber = -1, verified = -1, code = TZO_FI_OK;
    if (what == "checksumSection")
        code = tzo_fi_checksum_section(&source, name.data(), name.size(), &verified, &errorNumber);
    else if (what == "Section")
        code = tzo_fi_section_read(&source, name.data(), name.size(), &section, &errorNumber);
    else
        code = tzo_fi_info_read(&source, &info, &errorNumber);
    const bool cleared = what == "checksumSection" ? verified == 0
                         : what == "Section"       ? section == nullptr
                                                   : info == nullptr;
    if (code != TZO_FI_OK)
        return std::string("!") + tzo_fi_message(code) + (errorNumber != 0 ? " with a cause" : "") +
               (cleared ? "" : " with a result");

    std::string out = what == "checksumSection" ? std::to_string(verified) : "";
    if (what == "Section") {
        std::size_t size = 0;
        const char* text = tzo_fi_section_text(section, &size);
        out = shownCounted(text, size) + (tzo_fi_section_verified(section) ? " verified" : "");
        tzo_fi_section_free(section);
    } else if (what == "FactoryInfo") {
        std::size_t count = 0, size = 0;
        const char* value = nullptr;
        const tzo_fi_entry* entries = tzo_fi_info_entries(info, &count);
        std::set<std::string> keys;
        for (const tzo_fi_entry* entry = entries; entry != entries + count; ++entry)
            keys.emplace(entry->key, entry->key_size);
        for (const tzo_fi_entry* entry = entries; entry != entries + count; ++entry) {
            const bool present = tzo_fi_info_get(info, entry->key, entry->key_size, &value, &size);
            out += shownCounted(entry->key, entry->key_size) + "=" + shownCounted(value, size) +
                   (present && value == entry->value ? " " : " (not its own value) ");
            // Keys that nearly match: with a CR after it, without its last byte.
            const std::string key(entry->key, entry->key_size);
            for (const std::string& near : {key + "\r", key.substr(0, key.size() - !key.empty())})
                if (tzo_fi_info_get(info, near.data(), near.size(), &value, &size) !=
                    static_cast<int>(keys.count(near)))
                    out += "(found " + shown(near) + ") ";
        }
        out += tzo_fi_info_verified(info) ? "verified" : "";
        out += ", Absent " + (tzo_fi_info_get(info, "Absent", 6, &value, &size)
                                  ? std::string("present")
                                  : shownCounted(value, size));
        tzo_fi_info_free(info);
    }
    return out;
}

// Returns the outcome of loading the key files at `paths` (at most 16 KiB of each) and checking
// the signature of `data` with them, through the C API when `c`, or else the C++ API: "verified"
// or the failure's message, which C++ may follow with details.
inline std::string signatureOutcome(bool c, const std::vector<std::string>& paths,
                                    const std::string& data) {
    std::vector<std::string> pems;
    for (const std::string& path : paths) {
        std::string pem(16 * 1024 + 1, '\0');
        std::ifstream(path, std::ios_base::binary).read(&pem[0], pem.size()).gcount();
        pems.push_back(pem.substr(0, pem.find('\0')));
    }
    if (!c) {
        try {
            std::istringstream in(data);
            verifySignature(in, std::vector<PublicKey>(pems.begin(), pems.end()));
            return "verified";
        } catch (const std::invalid_argument& error) {
            return error.what();
        }
    }
    std::vector<tzo_fi_key*> keys(pems.size());
    tzo_fi_data* read = nullptr;
    const tzo_fi_source source = {nullptr, data.data(), data.size()};
    int code = TZO_FI_OK;
    for (std::size_t i = 0; i < pems.size() && code == TZO_FI_OK; ++i)
        code = tzo_fi_key_read(pems[i].data(), pems[i].size(), &keys[i]);
    if (code == TZO_FI_OK && (code = tzo_fi_data_read(&source, &read, nullptr)) == TZO_FI_OK)
        code = tzo_fi_data_verify(read, keys.data(), keys.size());
    tzo_fi_data_free(read);
    for (tzo_fi_key* key : keys)
        tzo_fi_key_free(key);
    return code == TZO_FI_OK ? "verified" : tzo_fi_message(code);
}

} // namespace tzo::factoryinfo::test

#endif // TZO_FACTORYINFO_C_API_CASES_HPP
