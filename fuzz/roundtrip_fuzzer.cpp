// Builds well-formed factory data around fuzzer-chosen body lines and checks that every reader
// returns them exactly: the text byte for byte, the first value of each key, and a checksum
// section made from the text verifies (and one made from other text does not).
//
// Input: the first byte chooses the layout, the rest of the first line names the section, and
// each further line is a body line. Lines that the data format would read as a marker are left
// out, so the section is always well formed.
#include <tzo/factoryinfo.hpp>

#include "fuzz_support.hpp"

#include <sstream>

namespace tzo::factoryinfo::fuzz {
namespace {

// Well-formed factory data holding one section and the checksum section for it.
struct Fixture {
    std::string name;
    std::string text;                         // the section text: body lines, each with LF
    std::map<std::string, std::string> pairs; // the first value of each key in the body
    std::string data;
};

// Returns the "Checksum" section recording `sum` for section `name`.
std::string checksumSectionOf(const std::string& name, const std::string& sum) {
    return "BeginOfChecksum\n" + name + "Type=sha256\n" + name + "Sum=" + sum + "\nEndOfChecksum\n";
}

// Returns the fixture for section `name` with the lines of `lines` as its body, the checksum
// section before it when `checksumFirst`, and the sum of `summedText` recorded.
Fixture fixtureOf(const std::string& name, const std::string& lines, bool checksumFirst) {
    const std::set<std::string> markers = {"BeginOf" + name, "EndOf" + name, "EndOfData",
                                           "BeginOfChecksum", "EndOfChecksum"};
    Fixture fixture{name, "", {}, ""};
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        if (markers.count(line) == 0) {
            fixture.text += line + "\n";
        }
    }
    fixture.pairs = pairsOfLines(fixture.text);
    const std::string section = "BeginOf" + name + "\n" + fixture.text + "EndOf" + name + "\n";
    const std::string checksums = checksumSectionOf(name, sha256Hex(fixture.text));
    fixture.data = (checksumFirst ? checksums + section : section + checksums) + "EndOfData\n";
    return fixture;
}

// Checks every reader against `fixture`.
void checkReaders(const Fixture& fixture) {
    std::istringstream in(fixture.data);
    std::string lastLine;
    require(getSectionAsString(in, fixture.name, lastLine) == fixture.text, "text differs");
    require(lastLine == "EndOf" + fixture.name, "section not ended by its marker");

    seekBeginOfSection(in, fixture.name);
    require(getSectionAsMap(in, fixture.name, lastLine) == fixture.pairs, "pairs differ");

    require(outcomeOf([&] { return checksumSection(in, fixture.name) ? "true" : "false"; }) ==
                "true",
            "own sum does not verify");
    const std::string section = outcomeOf([&]() -> std::string {
        const Section object(in, fixture.name);
        return object.dump() + (object.isChecksumValid() ? "|true" : "|false");
    });
    require(section == fixture.text + "|true", "Section differs: " + section);

    if (fixture.name == "Factoryinfo") {
        const std::string info = outcomeOf([&]() -> std::string {
            const FactoryInfo object(in);
            require(object.entries() == fixture.pairs, "FactoryInfo pairs differ");
            return object.isChecksumValid() ? "true" : "false";
        });
        require(info == "true", "FactoryInfo does not verify: " + info);
    }
}

// Checks that a sum recorded for other text than the section's is refused.
void checkWrongSumRefused(const Fixture& fixture) {
    const std::string right = sha256Hex(fixture.text);
    const std::string wrong = sha256Hex(fixture.text + "\n");
    std::string data = fixture.data;
    data.replace(data.find(right), right.size(), wrong);
    std::istringstream in(data);
    require(outcomeOf([&] { return checksumSection(in, fixture.name) ? "true" : "false"; }) ==
                "!Calculated checksum do not match the provided one",
            "a wrong sum was not refused");
}

} // namespace
} // namespace tzo::factoryinfo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace tzo::factoryinfo::fuzz;
    const Input input = splitInput(bytes, size);
    if (input.name.empty()) {
        return 0;
    }
    const bool checksumFirst = (input.name[0] & 1) != 0;
    const std::string name = input.name.substr(1);
    // A "=" in the name would split its checksum entries elsewhere; "Checksum" and "Data" are
    // names with a role of their own.
    if (name.find('=') != std::string::npos || name == "Checksum" || name == "Data") {
        return 0;
    }
    const Fixture fixture = fixtureOf(name, input.data, checksumFirst);
    checkReaders(fixture);
    checkWrongSumRefused(fixture);
    return 0;
}
