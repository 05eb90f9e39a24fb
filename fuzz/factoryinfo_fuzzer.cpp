// Fuzzes the library and the tool through the case runner of the tests: the first line of an
// input names a section and gives the tool's arguments (split as the cases' are, see
// splitArguments), the rest is the factory data. Checked, besides that nothing crashes and that
// no exception other than std::invalid_argument leaves the library or the tool: getLine and
// getSectionAsString give the same through buffers that read a few bytes at a time; a read fault
// at one of some ten bytes and a rewind that fails give either the intact result or the read
// error; after a failure the tool has an exit status of 1 or 2, prints nothing on standard
// output and its message on standard error; what seal writes for the section named gives that
// section back as the draft holds it, with a verified sum, and signed with the test key of
// tests/keys/, a signature that verifies; the signature check with that key passes or fails as
// a data error whose message is one line of printable ASCII, holding none of the data's other
// bytes.
#include "seal.hpp"
#include "signature.hpp"
#include "status.hpp"
#include "test_support.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Prints `outcome` and aborts, so that libFuzzer records the input, unless `holds`.
void require(bool holds, const std::string& outcome) {
    if (holds)
        return;
    std::fprintf(stderr, "property violated:\n%s\n", outcome.c_str());
    std::abort();
}

// Returns true when `name` is `option` or an abbreviation of it at least `least` letters long.
bool abbreviates(const std::string& name, const std::string& option, std::size_t least) {
    return name.size() >= least && option.rfind(name, 0) == 0;
}

// Returns true when one of `words`, as the tool's arguments, may name a file for it to read
// instead of the data given to it, or be --size, which could ask for more memory than a fuzzer
// has: --file, --key, --sign-key or --size, or an abbreviation of one, with or without
// "=ARGUMENT" (a key file may be a terminal or a FIFO, which would block); or a group of short
// options with an f in it before any p, which takes the rest of the group as its argument. An
// operand or the argument of another option that looks so is taken for one too: that only
// leaves out a few more inputs.
bool mayNameFileOrSize(const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (word.rfind("--", 0) == 0) {
            const std::string name = word.substr(2, word.find('=') - 2); // to the end without "="
            if (abbreviates(name, "file", 1) || abbreviates(name, "key", 1) ||
                abbreviates(name, "sign-key", 2) || abbreviates(name, "size", 2))
                return true;
        } else if (word.size() > 1 && word[0] == '-' && word.find('f') < word.find('p')) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace tzo::factoryinfo;
    using namespace tzo::factoryinfo::test;
    const std::string input(reinterpret_cast<const char*>(bytes), size);
    const std::size_t lf = std::min(input.find('\n'), size);
    const std::string first = input.substr(0, lf), data = input.substr(std::min(lf + 1, size));

    const std::string library = libraryCase(first, data, false, true, 1 + data.size() / 8);
    static const std::regex faultLine("  read error below byte \\d+, on rewinds below \\d+");
    std::istringstream lines(library);
    for (std::string line; std::getline(lines, line);)
        require(line.rfind("pairs: DIFFER", 0) != 0 &&
                    (line.rfind("  ", 0) != 0 || std::regex_match(line, faultLine)),
                library);

    // What seal writes, signed with the test key, gives section `first` back as the draft holds
    // it, verified, and with a signature that the public key read on its own accepts.
    static const std::unique_ptr<SigningKey> signingKey =
        tool::readSigningKey(TZO_TEST_KEYS "/station.pem");
    static const std::vector<PublicKey> keys = tool::readPublicKeys({TZO_TEST_KEYS "/station.pub"});
    std::istringstream draft(data);
    std::string sealed;
    try {
        sealed = tool::seal(draft, {first}, std::nullopt, signingKey.get());
    } catch (const std::invalid_argument&) { // refused: no such section, not ended...
    } catch (const tool::Failure&) {
    }
    if (!sealed.empty()) {
        std::istringstream sameDraft(data), sealedData(sealed);
        std::string lastLine;
        const Section section(sealedData, first);
        require(section.isChecksumValid() &&
                    section.dump() == getSectionAsString(sameDraft, first, lastLine),
                "seal gave back other data for " + first + ":\n" + sealed);
        verifySignature(sealedData, keys); // a failure would leave the target: a crash
    }

    // The signature check on the data, as a device with the key makes it.
    std::istringstream signedData(data);
    try {
        verifySignature(signedData, keys);
    } catch (const std::invalid_argument& failure) {
        const std::string message = failure.what();
        require(message.rfind("Signature: ", 0) == 0 &&
                    std::all_of(message.begin(), message.end(),
                                [](char c) { return c >= ' ' && c <= '~'; }),
                message);
    }

    // The tool reads the data given here and nothing else, within the fuzzer's memory.
    try {
        if (mayNameFileOrSize(splitArguments(first)))
            return 0;
    } catch (const std::invalid_argument&) { // a single quote left open: no arguments
        return 0;
    }
    const std::string tool = toolCase(first, data);
    const bool failed = tool.rfind("status 1 ", 0) == 0 || tool.rfind("status 2 ", 0) == 0;
    require(std::regex_search(tool, std::regex("^status [0-4] ")) &&
                (!failed || tool.find(" out \"\"\nerr \"tzo-factoryinfo: ") == 8),
            tool);
    return 0;
}
