// Fuzzes the Section and FactoryInfo objects on arbitrary data: each holds what the reading
// functions give, or fails with the message they imply, and a read fault gives either that
// same outcome or "error reading factory data", never a partial object.
#include "fuzz_support.hpp"

namespace tzo::factoryinfo::fuzz {

// Returns `pairs` as "key=value" lines, each ended by LF.
std::string linesOfPairs(const std::map<std::string, std::string>& pairs) {
    std::string text;
    for (const auto& pair : pairs)
        text += pair.first + "=" + pair.second + "\n";
    return text;
}

// Returns what Section(in, name), or with `asPairs` FactoryInfo(in), holds: "CONTENT|FLAG",
// FactoryInfo's content being its pairs looked up through operator[] as "key=value" lines, or
// "!" and the message.
std::string objectOutcome(std::istream& in, const std::string& name, bool asPairs) {
    return outcomeOf([&]() -> std::string {
        if (!asPairs) {
            const Section section(in, name);
            return section.dump() + (section.isChecksumValid() ? "|true" : "|false");
        }
        const FactoryInfo info(in);
        std::string pairs;
        for (const auto& pair : info.entries())
            pairs += pair.first + "=" + info[pair.first] + "\n";
        return pairs + (info.isChecksumValid() ? "|true" : "|false");
    });
}

// Returns what Section(name), or with `asPairs` FactoryInfo (name "Factoryinfo"), should hold
// on `data` by the reading functions alone: "CONTENT|VERDICT" or "!" and the message.
std::string expectedObject(const std::string& data, const std::string& name, bool asPairs) {
    std::istringstream in(data);
    std::string lastLine;
    if (asPairs && seekBeginOfSection(in, name).eof())
        return "!End of data reached before finding factory info";
    const std::string content = asPairs ? linesOfPairs(getSectionAsMap(in, name, lastLine))
                                        : getSectionAsString(in, name, lastLine);
    if (lastLine != "EndOf" + name)
        return asPairs ? "!end of file reached before finding end of factory info"
                       : "!end of file reached before finding end of section";
    const std::string verdict = verdictOf(in, name);
    return verdict[0] == '!' ? verdict : content + "|" + verdict;
}

// Checks that Section(name), or with `asPairs` FactoryInfo, holds what the reading functions
// give on `data`, read through a stream that fails at each byte of `faults` (test::kNoFault:
// never), or after a fault the read error.
void checkObject(const std::string& data, const std::string& name, bool asPairs,
                 std::initializer_list<std::size_t> faults) {
    const std::string expected = expectedObject(data, name, asPairs);
    const auto read = [&](std::istream& in) { return objectOutcome(in, name, asPairs); };
    for (const std::size_t fault : faults) {
        const std::string outcome = test::outcomeOf(data, fault, read);
        require(outcome == expected ||
                    (fault != test::kNoFault && outcome == "!error reading factory data"),
                "object gave " + outcome + " instead of " + expected);
    }
}

// Checks Section(name) and FactoryInfo on `data`, intact and with read faults at two bytes that
// depend on the input.
void checkInput(const std::string& name, const std::string& data) {
    checkObject(data, name, false, {test::kNoFault, name.size(), data.size() / 2});
    checkObject(data, "Factoryinfo", true, {test::kNoFault, name.size(), data.size() / 2});
}

} // namespace tzo::factoryinfo::fuzz
