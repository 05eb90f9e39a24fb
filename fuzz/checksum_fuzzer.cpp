// Fuzzes checksumSection on arbitrary data and checks each verdict against the one that the
// entries of the "Checksum" section imply, with the digest of the section computed by OpenSSL.
//
// The data may hold the placeholder "@sum", replaced by the true digest of the section before
// a second check, so that the fuzzer also reaches the matching case.
#include "fuzz_support.hpp"

namespace tzo::factoryinfo::fuzz {

// Returns the SHA-256 of the text of section `name` of `data`.
std::string digestOf(const std::string& data, const std::string& name) {
    std::istringstream in(data);
    std::string lastLine;
    return test::sha256Hex(getSectionAsString(in, name, lastLine));
}

// Returns the verdict that the checksum entries of `data` give for section `name`: "true",
// "false" or "!" and the message.
std::string expectedVerdict(const std::string& data, const std::string& name) {
    std::istringstream in(data);
    std::string lastLine;
    if (seekBeginOfSection(in, "Checksum").eof())
        return "false";
    const std::map<std::string, std::string> entries = getSectionAsMap(in, "Checksum", lastLine);
    if (lastLine != "EndOfChecksum")
        return "!end of file reached before finding end of checksum section";
    const auto type = entries.find(name + "Type"), sum = entries.find(name + "Sum");
    if (type == entries.end() && sum == entries.end())
        return "false";
    if (type == entries.end() || sum == entries.end())
        return "!Missing checksum entry";
    if (type->second != "sha256")
        return "!Unsupported sum";
    std::string stored = sum->second;
    std::transform(stored.begin(), stored.end(), stored.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return stored == digestOf(data, name) ? "true"
                                          : "!Calculated checksum do not match the provided one";
}

// Returns `data` with every "@sum" replaced by `sum`.
std::string withSum(std::string data, const std::string& sum) {
    for (auto at = data.find("@sum"); at != std::string::npos; at = data.find("@sum", at))
        data.replace(at, 4, sum);
    return data;
}

// Checks checksumSection's verdict on section `name` of `data`, and of `data` with the true
// sum in place of "@sum", against the expected one.
void checkInput(const std::string& name, const std::string& data) {
    for (const std::string& summed : {data, withSum(data, digestOf(data, name))}) {
        std::istringstream in(summed);
        const std::string verdict = verdictOf(in, name);
        require(verdict == expectedVerdict(summed, name), "unexpected verdict " + verdict);
    }
}

} // namespace tzo::factoryinfo::fuzz
