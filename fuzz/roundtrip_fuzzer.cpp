// Builds well-formed factory data around fuzzer-chosen body lines and checks that every reader
// returns them exactly: the text byte for byte, the first value of each key, and a checksum
// section made from the text verifies (and one made from other text does not, until the tool's
// seal replaces it).
//
// Input: the first byte chooses the layout (bit 0: checksum section first; bit 1: seal names
// the section), the rest of the first line names the section, and each further line is a body
// line. Lines that the data format would read as a marker are left out, so the section is
// always well formed.
#include "fuzz_support.hpp"
#include "seal.hpp"

namespace tzo::factoryinfo::fuzz {

// Returns the lines of `lines` that are no marker around section `name`, each ended by LF.
std::string bodyOf(const std::string& lines, const std::string& name) {
    const std::set<std::string> markers = {"BeginOf" + name, "EndOf" + name, "EndOfData",
                                           "BeginOfChecksum", "EndOfChecksum"};
    std::string text;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);)
        text += markers.count(line) == 0 ? line + "\n" : "";
    return text;
}

// Returns factory data holding section `name` with `text` and a checksum section that records
// the sum of `summed`, placed before the section when `checksumFirst`.
std::string dataOf(const std::string& name, const std::string& text, const std::string& summed,
                   bool checksumFirst) {
    const std::string section = "BeginOf" + name + "\n" + text + "EndOf" + name + "\n";
    const std::string checksums = test::checksumSectionFor(name, summed);
    return (checksumFirst ? checksums + section : section + checksums) + "EndOfData\n";
}

// Checks every reader on `data`, which holds section `name` with `text` and its own sum.
void checkReaders(const std::string& data, const std::string& name, const std::string& text) {
    std::istringstream in(data);
    std::string lastLine;
    require(getSectionAsString(in, name, lastLine) == text && lastLine == "EndOf" + name,
            "text differs");
    seekBeginOfSection(in, name);
    require(getSectionAsMap(in, name, lastLine) == pairsOfLines(text), "pairs differ");
    require(verdictOf(in, name) == "true", "own sum does not verify");
}

// Checks the readers on data built from `data`'s lines for the section named `layout` without
// its first byte, which puts the checksum section first when odd.
void checkInput(const std::string& layout, const std::string& lines) {
    const std::string name = layout.substr(std::min<std::size_t>(1, layout.size()));
    // A "=" in the name would split its checksum entries elsewhere; "Checksum" and "Data" are
    // names with a role of their own.
    if (layout.empty() || name.find('=') != std::string::npos || name == "Checksum" ||
        name == "Data")
        return;
    const bool checksumFirst = (layout[0] & 1) != 0;
    const std::string text = bodyOf(lines, name);
    checkReaders(dataOf(name, text, text, checksumFirst), name, text);
    std::istringstream wrong(dataOf(name, text, text + "\n", checksumFirst));
    require(verdictOf(wrong, name) == "!Calculated checksum do not match the provided one",
            "a sum of other text was not refused");
    // The tool's seal replaces the wrong sum, for the section named or for every section; a
    // refusal leaves the target, which libFuzzer records as a crash.
    const std::vector<std::string> names((layout[0] & 2) != 0 ? 1 : 0, name);
    checkReaders(tool::seal(wrong, names, std::nullopt), name, text);
}

} // namespace tzo::factoryinfo::fuzz
