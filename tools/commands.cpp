// get, list, dump, verify, sum and seal: the library's objects turned into output for people
// and scripts.
#include "commands.hpp"

#include "formats.hpp"
#include "seal.hpp"
#include "signature.hpp"

#include <tzo/factoryinfo.hpp>

#include <optional>

namespace tzo::factoryinfo::tool {

namespace {

// Throws the failure for a section without a recorded sum when --require-checksum asks for one.
void requireChecksum(const Invocation& invocation, bool checksumValid, const std::string& name) {
    if (invocation.requireChecksum && !checksumValid) {
        throw Failure(kNoChecksum, "no checksum recorded for " + name);
    }
}

// Throws the failure of the signature check when --key is given and the Checksum section of
// `data` is not signed with that key.
void requireSignedSums(const Invocation& invocation, std::istream& data) {
    if (invocation.publicKey) {
        requireSignature(data, PublicKey::read(*invocation.publicKey));
    }
}

// Reads and verifies the "Factoryinfo" section.
FactoryInfo readFactoryInfo(const Invocation& invocation, std::istream& data) {
    requireSignedSums(invocation, data);
    FactoryInfo info(data);
    requireChecksum(invocation, info.isChecksumValid(), kFactoryInfoSection);
    return info;
}

// get KEY...: each value on a line of its own, or one JSON object.
Outcome get(const Invocation& invocation, std::istream& data) {
    const FactoryInfo info = readFactoryInfo(invocation, data);
    Outcome outcome;
    std::vector<Field> fields;
    for (const std::string& key : invocation.arguments) {
        const auto entry = info.entries().find(key);
        const bool present = entry != info.entries().end();
        if (!present) {
            outcome.status = kAbsentKey;
        }
        fields.push_back({key, present ? &entry->second : nullptr});
        outcome.output += present ? entry->second + '\n' : "\n";
    }
    if (invocation.format == Format::kJson) {
        outcome.output = jsonObject(fields);
    }
    return outcome;
}

// list: every pair as key=value, as JSON or as shell assignments.
Outcome list(const Invocation& invocation, std::istream& data) {
    const FactoryInfo info = readFactoryInfo(invocation, data);
    Outcome outcome;
    switch (invocation.format) {
    case Format::kJson: {
        std::vector<Field> fields;
        for (const auto& [key, value] : info.entries()) {
            fields.push_back({key, &value});
        }
        outcome.output = jsonObject(fields);
        break;
    }
    case Format::kShell:
        outcome.output =
            shellAssignments(invocation.shellPrefix.value_or(kDefaultShellPrefix), info.entries());
        break;
    case Format::kText:
        for (const auto& [key, value] : info.entries()) {
            outcome.output += key + '=' + value + '\n';
        }
        break;
    }
    return outcome;
}

// dump SECTION: the section text, byte for byte.
Outcome dump(const Invocation& invocation, std::istream& data) {
    const std::string& name = invocation.arguments.front();
    requireSignedSums(invocation, data);
    const Section section(data, name);
    requireChecksum(invocation, section.isChecksumValid(), name);
    Outcome outcome;
    outcome.output = section.dump();
    return outcome;
}

// Checks the signature with the key of --key, if given, for verify: a line "Signature:
// verified" in `outcome`, or its failure. A key that cannot be used fails the whole command.
void verifySignature(const Invocation& invocation, std::istream& data, Outcome& outcome) {
    if (!invocation.publicKey) {
        return;
    }
    const PublicKey key = PublicKey::read(*invocation.publicKey);
    try {
        requireSignature(data, key);
        outcome.output += std::string(kSignatureSection) + ": verified\n";
    } catch (const Failure& failure) {
        outcome.failures.push_back(failure.what());
    } catch (const std::invalid_argument& error) {
        outcome.failures.push_back(std::string(kSignatureSection) + ": " + messageOf(error));
    }
}

// verify [SECTION]...: one line per section, after the signature's with --key; failures are
// collected so that every section is checked and reported.
Outcome verify(const Invocation& invocation, std::istream& data) {
    std::vector<std::string> names = invocation.arguments;
    if (names.empty()) {
        names.push_back(kFactoryInfoSection);
    }

    Outcome outcome;
    verifySignature(invocation, data, outcome);
    for (const std::string& name : names) {
        try {
            const Section section(data, name);
            if (section.isChecksumValid()) {
                outcome.output += name + ": verified\n";
            } else {
                outcome.output += name + ": no checksum recorded\n";
                outcome.status = kNoChecksum;
            }
        } catch (const std::invalid_argument& error) {
            outcome.failures.push_back(name + ": " + messageOf(error));
        }
    }
    if (!outcome.failures.empty()) {
        outcome.status = kDataError;
    }
    return outcome;
}

// sum SECTION: the two lines that record the section's sum in the "Checksum" section, whatever
// sum is recorded now.
Outcome sum(const Invocation& invocation, std::istream& data) {
    const std::string& name = invocation.arguments.front();
    Outcome outcome;
    outcome.output = checksumEntries(name, readSectionText(data, name));
    return outcome;
}

} // namespace

std::string messageOf(const std::invalid_argument& error) {
    const auto* readError = dynamic_cast<const ReadError*>(&error);
    const std::string cause = readError != nullptr ? readError->cause() : "";
    return error.what() + (cause.empty() ? "" : ": " + cause);
}

Outcome runCommand(const Invocation& invocation, std::istream& data) {
    switch (invocation.command) {
    case Command::kGet:
        return get(invocation, data);
    case Command::kList:
        return list(invocation, data);
    case Command::kDump:
        return dump(invocation, data);
    case Command::kVerify:
        return verify(invocation, data);
    case Command::kSum:
        return sum(invocation, data);
    case Command::kSeal: {
        std::optional<PrivateKey> key;
        if (invocation.signingKey) {
            key = PrivateKey::read(*invocation.signingKey);
        }
        Outcome outcome;
        outcome.output =
            seal(data, invocation.arguments, invocation.imageSize, key ? &*key : nullptr);
        return outcome;
    }
    }
    return {};
}

} // namespace tzo::factoryinfo::tool
