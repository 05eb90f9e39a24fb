// get, list, dump, verify, sum and seal: the library's objects turned into output for people
// and scripts.
#include "commands.hpp"

#include "formats.hpp"
#include "mac_address.hpp"
#include "seal.hpp"
#include "signature.hpp"

#include <tzo/factoryinfo.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

namespace tzo::factoryinfo::tool {

namespace {

// Throws the failure for a section without a recorded sum when --require-checksum asks for one.
void requireChecksum(const Invocation& invocation, bool checksumValid, const std::string& name) {
    if (invocation.requireChecksum && !checksumValid) {
        throw Failure(kNoChecksum, "no checksum recorded for " + name);
    }
}

// Throws the failure of the signature check when --key is given and the Checksum section of
// `data` is not signed with one of those keys.
void requireSignedSums(const Invocation& invocation, std::istream& data) {
    if (!invocation.publicKeys.empty()) {
        verifySignature(data, readPublicKeys(invocation.publicKeys));
    }
}

// Reads and verifies the "Factoryinfo" section.
FactoryInfo readFactoryInfo(const Invocation& invocation, std::istream& data) {
    requireSignedSums(invocation, data);
    FactoryInfo info(data);
    requireChecksum(invocation, info.isChecksumValid(), kFactoryInfoSection);
    return info;
}

// Returns `fields` with each key once, at its first place.
std::vector<Field> firstOfEachKey(const std::vector<Field>& fields) {
    std::set<std::string> seen;
    std::vector<Field> unique;
    for (const Field& field : fields) {
        if (seen.insert(field.key).second) {
            unique.push_back(field);
        }
    }
    return unique;
}

// get KEY...: each value on a line of its own, or one JSON object.
Outcome get(const Invocation& invocation, std::istream& data, std::ostream& out) {
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
    }
    if (invocation.format != Format::kJson) {
        for (const Field& field : fields) {
            out << (field.value != nullptr ? *field.value : "") << '\n';
        }
        return outcome;
    }
    const std::vector<Field> unique = firstOfEachKey(fields);
    std::vector<const std::string*> keys;
    for (const Field& field : unique) {
        keys.push_back(&field.key);
    }
    requireDistinctJsonNames(std::move(keys));
    writeJsonObject(out, unique);
    return outcome;
}

// list: every pair as key=value, as JSON or as shell assignments, written straight from the
// object: the pairs may take many times the data's size, so the output is not copied first.
Outcome list(const Invocation& invocation, std::istream& data, std::ostream& out) {
    const FactoryInfo info = readFactoryInfo(invocation, data);
    const std::map<std::string, std::string>& entries = info.entries();
    switch (invocation.format) {
    case Format::kJson: {
        std::vector<const std::string*> keys;
        keys.reserve(entries.size());
        for (const auto& entry : entries) {
            keys.push_back(&entry.first);
        }
        requireDistinctJsonNames(std::move(keys));
        writeJsonObject(out, entries);
        break;
    }
    case Format::kShell: {
        const std::string prefix = invocation.shellPrefix.value_or(kDefaultShellPrefix);
        requireShellAssignable(prefix, entries);
        writeShellAssignments(out, prefix, entries);
        break;
    }
    case Format::kText:
        for (const auto& [key, value] : entries) {
            out << key << '=' << value << '\n';
        }
        break;
    }
    return {};
}

// dump SECTION: the section text, byte for byte.
Outcome dump(const Invocation& invocation, std::istream& data, std::ostream& out) {
    const std::string& name = invocation.arguments.front();
    requireSignedSums(invocation, data);
    const Section section(data, name);
    requireChecksum(invocation, section.isChecksumValid(), name);
    out << section.dump();
    return {};
}

// Checks the signature with the key of --key, if given, for verify: the line "Signature:
// verified" added to `lines`, or its failure to `outcome`. A key that cannot be used fails the
// whole command.
void verifySignature(const Invocation& invocation, std::istream& data, std::string& lines,
                     Outcome& outcome) {
    if (invocation.publicKeys.empty()) {
        return;
    }
    const std::vector<PublicKey> keys = readPublicKeys(invocation.publicKeys);
    try {
        verifySignature(data, keys);
        lines += std::string(kSignatureSection) + ": verified\n";
    } catch (const std::invalid_argument& error) {
        // The failures of the signature itself name it; those of the data, such as a read
        // error, are named after it here, as those of the sections after them.
        const std::string prefix = std::string(kSignatureSection) + ": ";
        const std::string message = messageOf(error);
        outcome.failures.push_back(
            message.compare(0, prefix.size(), prefix) == 0 ? message : prefix + message);
    }
}

// verify [SECTION]...: one line per section, after the signature's with --key; failures are
// collected so that every section is checked and reported, and the lines are written only when
// none failed.
Outcome verify(const Invocation& invocation, std::istream& data, std::ostream& out) {
    std::vector<std::string> names = invocation.arguments;
    if (names.empty()) {
        names.push_back(kFactoryInfoSection);
    }

    Outcome outcome;
    std::string lines;
    verifySignature(invocation, data, lines, outcome);
    for (const std::string& name : names) {
        try {
            const Section section(data, name);
            if (section.isChecksumValid()) {
                lines += name + ": verified\n";
            } else {
                lines += name + ": no checksum recorded\n";
                outcome.status = kNoChecksum;
            }
        } catch (const std::invalid_argument& error) {
            outcome.failures.push_back(name + ": " + messageOf(error));
        }
    }
    if (!outcome.failures.empty()) {
        outcome.status = kDataError;
        return outcome;
    }
    out << lines;
    return outcome;
}

// sum SECTION: the two lines that record the section's sum in the "Checksum" section, whatever
// sum is recorded now.
Outcome sum(const Invocation& invocation, std::istream& data, std::ostream& out) {
    const std::string& name = invocation.arguments.front();
    out << checksumEntries(name, readSectionText(data, name));
    return {};
}

// mac KEY [+N]: the address in KEY of the verified Factoryinfo section, plus N; the command line
// made sure that a sum is required and that N is well-formed.
Outcome mac(const Invocation& invocation, std::istream& data, std::ostream& out) {
    const FactoryInfo info = readFactoryInfo(invocation, data);
    const std::string& key = invocation.arguments.front();
    const auto entry = info.entries().find(key);
    if (entry == info.entries().end()) {
        throw Failure(kAbsentKey, key + ": no such key in " + kFactoryInfoSection);
    }
    const std::uint32_t offset =
        invocation.arguments.size() > 1 ? macOffset(invocation.arguments.back()) : 0;
    out << offsetMacAddress(key, entry->second, offset) << '\n';
    return {};
}

} // namespace

std::string messageOf(const std::invalid_argument& error) {
    const auto* readError = dynamic_cast<const ReadError*>(&error);
    const std::string cause = readError != nullptr ? readError->cause() : "";
    return error.what() + (cause.empty() ? "" : ": " + cause);
}

Outcome runCommand(const Invocation& invocation, std::istream& data, std::ostream& out) {
    switch (invocation.command) {
    case Command::kGet:
        return get(invocation, data, out);
    case Command::kList:
        return list(invocation, data, out);
    case Command::kDump:
        return dump(invocation, data, out);
    case Command::kVerify:
        return verify(invocation, data, out);
    case Command::kSum:
        return sum(invocation, data, out);
    case Command::kMac:
        return mac(invocation, data, out);
    case Command::kSeal: {
        std::unique_ptr<SigningKey> key;
        if (invocation.signingKey) {
            key = readSigningKey(*invocation.signingKey);
        }
        out << seal(data, invocation.arguments, invocation.imageSize, key.get());
        return {};
    }
    }
    return {};
}

} // namespace tzo::factoryinfo::tool
