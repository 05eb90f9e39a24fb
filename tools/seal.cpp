// Sealing a draft: reading it as it stands, writing the Checksum section for it, and reading
// the result back through the library before it is handed out.
#include "seal.hpp"

#include "checksum_names.hpp"
#include "signature.hpp"
#include "status.hpp"

#include <tzo/factoryinfo.hpp>

#include <set>
#include <sstream>
#include <stdexcept>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kErasedByte = '\xff'; // what erased flash reads as

// A section as it stands in the draft: from its begin marker, outside any other section, to
// its own end marker.
struct DraftSection {
    std::string name;
    std::string text; // the body lines, each followed by LF
    bool ended = false;
};

// The draft up to its end of data.
struct Draft {
    std::string kept; // every line but those of Checksum and Signature sections, each with LF
    std::vector<DraftSection> sections; // in the order they stand
};

// Throws the failure of seal with `message`.
[[noreturn]] void sealError(const std::string& message) {
    throw Failure(kDataError, message);
}

// Returns true for the sections that seal writes anew, and leaves out of the draft.
bool isSealedAnew(const std::string& name) {
    return name == kChecksumSection || name == kSignatureSection;
}

// Returns the draft read from the start of `in` line by line, as the library reads lines, up
// to its end of data. Outside a section, a begin marker starts one; inside, only its own end
// marker ends it. Throws Failure when a Checksum or Signature section, which is left out of the
// result, is not ended; a failed read of `in` leaves with the stream's own exception.
Draft readDraft(std::istream& in) {
    in.clear();
    in.seekg(0);
    Draft draft;
    bool inSection = false;
    std::string line;
    while (getLine(in, line) && line != kDataEndLine) {
        const DraftSection* owner = nullptr; // the section that the line belongs to
        if (inSection) {
            DraftSection& section = draft.sections.back();
            section.ended = line == kEndPrefix + section.name;
            if (!section.ended) {
                section.text += line + '\n';
            }
            inSection = !section.ended;
            owner = &section;
        } else if (line.rfind(kBeginPrefix, 0) == 0) {
            draft.sections.push_back({line.substr(sizeof kBeginPrefix - 1), "", false});
            inSection = true;
            owner = &draft.sections.back();
        }
        if (owner == nullptr || !isSealedAnew(owner->name)) {
            draft.kept += line + '\n';
        }
    }
    if (inSection && isSealedAnew(draft.sections.back().name)) {
        sealError(draft.sections.back().name + ": section not ended before the end of the " +
                  "draft's data; dropping it would drop every line after it");
    }
    return draft;
}

// Returns the names of the sections to seal: `names` as given, or every section of `draft`
// but Checksum and Signature in the order they stand when none is given; each name once. Throws
// Failure when there is none, since a draft without sections is most likely a step before seal that
// failed.
std::vector<std::string> namesToSeal(const Draft& draft, const std::vector<std::string>& names) {
    std::vector<std::string> all = names;
    if (names.empty()) {
        for (const DraftSection& section : draft.sections) {
            if (!isSealedAnew(section.name)) {
                all.push_back(section.name);
            }
        }
    }
    std::set<std::string> seen;
    std::vector<std::string> unique;
    for (const std::string& name : all) {
        if (seen.insert(name).second) {
            unique.push_back(name);
        }
    }
    if (unique.empty()) {
        sealError("the draft holds no section to seal");
    }
    return unique;
}

// Returns the first section called `name` in `draft`, the one that readers take. Throws
// Failure when no sum can be recorded for that name, or the section is missing or not ended.
const DraftSection& sectionToSeal(const Draft& draft, const std::string& name) {
    const std::string problem = checksumNameProblem(name);
    if (!problem.empty()) {
        sealError(problem);
    }
    for (const DraftSection& section : draft.sections) {
        if (section.name != name) {
            continue;
        }
        if (!section.ended) {
            sealError(name + ": section not ended before the end of the draft's data");
        }
        return section;
    }
    sealError(name + ": no such section in the draft");
}

// Throws Failure naming `section` unless the library reads it from `draft` as it stands there.
// Readers take the first line BeginOf + name, even one inside another section (the draft's old
// Checksum section included, which is left out of the sealed data): the draft would then mean
// another text than the one that would be sealed.
void requireSameInDraft(std::istream& draft, const DraftSection& section) {
    std::string lastLine;
    if (getSectionAsString(draft, section.name, lastLine) != section.text) {
        sealError(section.name + ": readers of the draft take an earlier line " + kBeginPrefix +
                  section.name + ", inside another section");
    }
}

// Reads section `name` from `data` through the library, as readers will. Throws Failure naming
// the section unless it comes back as `text`, with a verified sum when `summed` and none
// otherwise.
void requireReadBack(std::istream& data, const std::string& name, const std::string& text,
                     bool summed) {
    std::string lastLine;
    if (getSectionAsString(data, name, lastLine) != text || lastLine != kEndPrefix + name) {
        sealError(name + ": would not read back from the sealed data as written; is there a line " +
                  kBeginPrefix + name + " inside an earlier section?");
    }
    try {
        if (Section(data, name).isChecksumValid() == summed) {
            return;
        }
    } catch (const std::invalid_argument& error) {
        sealError(name + ": " + error.what() + " in the sealed data");
    }
    sealError(name + ": its sum would not be found in the sealed data");
}

// Throws Failure unless the signature in `data` verifies with `key`, as on a device.
void requireSignatureReadBack(std::istream& data, const PublicKey& key) {
    try {
        requireSignature(data, key);
    } catch (const Failure& failure) {
        sealError(failure.what() + std::string(" in the sealed data"));
    }
}

} // namespace

std::string seal(std::istream& draft, const std::vector<std::string>& names,
                 std::optional<std::size_t> size, const PrivateKey* signingKey) {
    const Draft parsed = readDraft(draft);
    std::vector<const DraftSection*> sections;
    std::string checksums;
    for (const std::string& name : namesToSeal(parsed, names)) {
        sections.push_back(&sectionToSeal(parsed, name));
        requireSameInDraft(draft, *sections.back());
        checksums += checksumEntries(name, sections.back()->text);
    }

    const std::string signature = signingKey ? signatureSection(*signingKey, checksums) : "";
    std::string data = parsed.kept + kBeginPrefix + kChecksumSection + '\n' + checksums +
                       kEndPrefix + kChecksumSection + '\n' + signature + kDataEndLine + '\n';
    if (size && data.size() > *size) {
        sealError("the sealed data takes " + std::to_string(data.size()) +
                  " bytes and does not fit in " + std::to_string(*size));
    }

    // Read back before the fill, which follows EndOfData, where every reader stops.
    std::istringstream image(data);
    requireReadBack(image, kChecksumSection, checksums, false);
    for (const DraftSection* section : sections) {
        requireReadBack(image, section->name, section->text, true);
    }
    if (signingKey) {
        requireSignatureReadBack(image, signingKey->publicKey());
    }
    if (size) {
        data.append(*size - data.size(), kErasedByte);
    }
    return data;
}

} // namespace tzo::factoryinfo::tool
