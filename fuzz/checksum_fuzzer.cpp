// Fuzzes checksumSection on arbitrary data and checks each verdict against the entries and the
// section text read on their own, with the digest computed by OpenSSL.
//
// The data may hold the placeholder "@sum", replaced by the true digest of the section before
// the check, so that the fuzzer also reaches the matching case.
#include <tzo/factoryinfo.hpp>

#include "fuzz_support.hpp"

#include <sstream>

namespace tzo::factoryinfo::fuzz {
namespace {

// Returns `data` with every "@sum" replaced by `sum`.
std::string withSum(std::string data, const std::string& sum) {
    const std::string placeholder = "@sum";
    for (std::string::size_type at = 0; (at = data.find(placeholder, at)) != std::string::npos;
         at += sum.size()) {
        data.replace(at, placeholder.size(), sum);
    }
    return data;
}

// Returns the entries of the "Checksum" section of `data`, empty when it has none.
std::map<std::string, std::string> checksumEntries(const std::string& data) {
    std::istringstream in(data);
    std::string lastLine;
    if (seekBeginOfSection(in, "Checksum").eof()) {
        return {};
    }
    return getSectionAsMap(in, "Checksum", lastLine);
}

// Checks the verdict of checksumSection for section `name` of `data` against the entries and
// the digest of the section text, and that a second call on the same stream agrees.
void checkVerdict(const std::string& data, const std::string& name) {
    std::istringstream in(data);
    const auto verify = [&] { return checksumSection(in, name) ? "true" : "false"; };
    const std::string verdict = outcomeOf(verify);
    require(outcomeOf(verify) == verdict, "a second call on the same stream differs");

    std::istringstream textStream(data);
    std::string lastLine;
    const std::string digest = sha256Hex(getSectionAsString(textStream, name, lastLine));
    const std::map<std::string, std::string> entries = checksumEntries(data);
    const auto type = entries.find(name + "Type");
    const auto sum = entries.find(name + "Sum");
    const bool sumMatches = sum != entries.end() && lowerAscii(sum->second) == digest;
    if (verdict == "true") {
        require(type != entries.end() && type->second == "sha256" && sumMatches,
                "verified without a matching sha256 entry");
    } else if (verdict == "false") {
        require(type == entries.end() && sum == entries.end(), "entries ignored");
    } else if (verdict == "!Calculated checksum do not match the provided one") {
        require(!sumMatches, "a matching sum refused");
    } else if (verdict == "!Missing checksum entry") {
        require((type == entries.end()) != (sum == entries.end()), "both or no entries missing");
    } else if (verdict == "!Unsupported sum") {
        require(type != entries.end() && type->second != "sha256", "sha256 refused");
    }
}

} // namespace
} // namespace tzo::factoryinfo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace tzo::factoryinfo::fuzz;
    const Input input = splitInput(bytes, size);
    checkVerdict(input.data, input.name);

    std::istringstream textStream(input.data);
    std::string lastLine;
    const std::string text = tzo::factoryinfo::getSectionAsString(textStream, input.name, lastLine);
    checkVerdict(withSum(input.data, sha256Hex(text)), input.name);
    return 0;
}
