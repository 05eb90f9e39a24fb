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
    bool checksumFirst;                       // the checksum section before the section
    std::string data;                         // with the sum of `text` recorded
};

// Returns the data of `fixture` with `sum` recorded as the section's sum.
std::string dataWithSum(const Fixture& fixture, const std::string& sum) {
    const std::string& name = fixture.name;
    const std::string section = "BeginOf" + name + "\n" + fixture.text + "EndOf" + name + "\n";
    const std::string checksums =
        "BeginOfChecksum\n" + name + "Type=sha256\n" + name + "Sum=" + sum + "\nEndOfChecksum\n";
    return (fixture.checksumFirst ? checksums + section : section + checksums) + "EndOfData\n";
}

// Returns the fixture for section `name` with the lines of `lines` as its body, the checksum
// section before it when `checksumFirst`.
Fixture fixtureOf(const std::string& name, const std::string& lines, bool checksumFirst) {
    const std::set<std::string> markers = {"BeginOf" + name, "EndOf" + name, "EndOfData",
                                           "BeginOfChecksum", "EndOfChecksum"};
    Fixture fixture{name, "", {}, checksumFirst, ""};
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        if (markers.count(line) == 0) {
            fixture.text += line + "\n";
        }
    }
    fixture.pairs = pairsOfLines(fixture.text);
    fixture.data = dataWithSum(fixture, sha256Hex(fixture.text));
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
    std::istringstream in(dataWithSum(fixture, sha256Hex(fixture.text + "\n")));
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
