// Fuzzes the FactoryInfo and Section objects built from arbitrary data, and checks that they
// hold what the reading functions give and agree with each other on every outcome.
#include <tzo/factoryinfo.hpp>

#include "fuzz_support.hpp"
#include "test_support.hpp"

#include <sstream>

namespace tzo::factoryinfo::fuzz {
namespace {

// Returns checksumSection's verdict on section `name` of `data`, or "!" and its message.
std::string verdictOf(const std::string& data, const std::string& name) {
    std::istringstream in(data);
    return outcomeOf([&] { return checksumSection(in, name) ? "true" : "false"; });
}

// Returns the outcome of Section(in, name) on `data`: its checksum flag, or "!" and the message.
// Checks that a constructed object holds the text that getSectionAsString gives.
std::string sectionOutcome(const std::string& data, const std::string& name) {
    std::istringstream in(data);
    return outcomeOf([&]() -> std::string {
        const Section section(in, name);
        std::istringstream textStream(data);
        std::string lastLine;
        require(section.dump() == getSectionAsString(textStream, name, lastLine),
                "Section text differs from getSectionAsString");
        return section.isChecksumValid() ? "true" : "false";
    });
}

// Returns the outcome of FactoryInfo(in) on `data`: its checksum flag, or "!" and the message.
// Checks that a constructed object holds the pairs that getSectionAsMap gives.
std::string factoryInfoOutcome(const std::string& data) {
    std::istringstream in(data);
    return outcomeOf([&]() -> std::string {
        const FactoryInfo info(in);
        std::istringstream mapStream(data);
        std::string lastLine;
        seekBeginOfSection(mapStream, "Factoryinfo");
        const auto pairs = getSectionAsMap(mapStream, "Factoryinfo", lastLine);
        require(info.entries() == pairs, "FactoryInfo pairs differ from getSectionAsMap");
        for (const auto& pair : pairs) {
            require(&info[pair.first] == &info.entries().at(pair.first), "lookup misses a key");
        }
        require(pairs.count(data) != 0 || info[data].empty(), "absent key has a value");
        return info.isChecksumValid() ? "true" : "false";
    });
}

// Checks that an object built for `name` either fails with a message of its own or of
// checksumSection, or succeeds with the verdict that checksumSection gives on its own.
void checkObject(const std::string& outcome, const std::string& verdict,
                 const std::set<std::string>& ownMessages) {
    if (outcome[0] != '!') {
        require(outcome == verdict, "object checksum flag differs from checksumSection");
        return;
    }
    require(ownMessages.count(outcome) != 0 || outcome == verdict,
            "object failed with a message of neither its own nor checksumSection: " + outcome);
}

// Checks that both objects, reading `data` through a stream that fails at byte `fault`, give
// either their outcome on the intact data or "error reading factory data".
void checkReadFault(const std::string& data, const std::string& name, std::size_t fault) {
    const std::string intact = sectionOutcome(data, name) + "|" + factoryInfoOutcome(data);
    const auto describe = [&](std::istream& in) {
        const auto section = [&]() -> std::string {
            const Section object(in, name);
            return object.isChecksumValid() ? "true" : "false";
        };
        const auto info = [&]() -> std::string {
            return FactoryInfo(in).isChecksumValid() ? "true" : "false";
        };
        return outcomeOf(section) + "|" + outcomeOf(info);
    };
    const std::string faulty = test::outcomeOf(data, fault, describe);
    const std::string readError = "!error reading factory data";
    const auto part = [](const std::string& outcomes, bool first) {
        const std::string::size_type bar = outcomes.find('|');
        return first ? outcomes.substr(0, bar) : outcomes.substr(bar + 1);
    };
    for (const bool first : {true, false}) {
        require(part(faulty, first) == part(intact, first) || part(faulty, first) == readError,
                "a read fault gave a partial result: " + faulty + " instead of " + intact);
    }
}

} // namespace
} // namespace tzo::factoryinfo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace tzo::factoryinfo::fuzz;
    const Input input = splitInput(bytes, size);
    const std::string sectionUnended = "!end of file reached before finding end of section";

    checkObject(sectionOutcome(input.data, input.name), verdictOf(input.data, input.name),
                {sectionUnended});

    // FactoryInfo and Section("Factoryinfo") read the same section with the same checks, so
    // they succeed together, with the same flag, and fail for the same reason.
    const std::string info = factoryInfoOutcome(input.data);
    const std::string section = sectionOutcome(input.data, "Factoryinfo");
    checkObject(info, verdictOf(input.data, "Factoryinfo"),
                {"!End of data reached before finding factory info",
                 "!end of file reached before finding end of factory info"});
    const bool infoUnended = info == "!End of data reached before finding factory info" ||
                             info == "!end of file reached before finding end of factory info";
    require(infoUnended ? section == sectionUnended : section == info,
            "FactoryInfo and Section(\"Factoryinfo\") disagree: " + info + " / " + section);

    // A read fault at a few places that depend on the input.
    for (const std::size_t fault : {input.name.size(), input.data.size() / 2}) {
        checkReadFault(input.data, input.name, std::min(fault, input.data.size()));
    }
    return 0;
}
