// Sealing a draft: reading it once, as it stands and as readers find its sections, writing the
// Checksum section for it, and reading the result back through the library before it is handed
// out. Every step takes time in proportion to the draft.
#include "seal.hpp"

#include "checksum_names.hpp"
#include "section_index.hpp"
#include "signature.hpp"
#include "status.hpp"

#include <tzo/factoryinfo.hpp>

#include <set>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kErasedByte = '\xff'; // what erased flash reads as
constexpr char kCarriageReturn = '\r';

// A section as it stands in the draft: from its begin marker, outside any other section, to
// its own end marker. The offsets are into the draft's lines.
struct DraftSection {
    std::string name;
    std::size_t begin;     // the begin marker
    std::size_t bodyBegin; // the first body line
    std::size_t bodyEnd;   // the end marker, or the end of the data when not ended
    std::size_t end;       // after the end marker, or the end of the data
    bool ended;
};

// The draft up to its end of data, read once.
struct Draft {
    SectionIndex readers;               // its lines, and its sections as readers find them
    std::size_t end = 0;                // where its data ends in the lines: at EndOfData
    std::vector<DraftSection> sections; // as they stand, in order
    std::unordered_map<std::string, std::size_t> firstOfName; // into sections

    // Returns the text of `section`: its body lines, each followed by LF.
    std::string_view text(const DraftSection& section) const {
        return std::string_view(readers.data())
            .substr(section.bodyBegin, section.bodyEnd - section.bodyBegin);
    }
};

// Throws the failure of seal with `message`.
[[noreturn]] void sealError(const std::string& message) {
    throw Failure(kDataError, message);
}

// Returns true when `line` is the end marker of `name`, without building the marker.
bool isEndMarker(const std::string& line, const std::string& name) {
    constexpr std::size_t prefixSize = sizeof kEndPrefix - 1;
    return line.size() == prefixSize + name.size() &&
           line.compare(0, prefixSize, kEndPrefix) == 0 &&
           line.compare(prefixSize, name.size(), name) == 0;
}

// Returns true for the sections that seal writes anew, and leaves out of the draft.
bool isSealedAnew(const std::string& name) {
    return name == kChecksumSection || name == kSignatureSection;
}

// Returns the draft read from the start of `in` line by line, as the library reads lines, up
// to its end of data, in one pass: its lines, its sections as readers find them, and its
// sections as they stand, where a begin marker outside a section starts one, and inside, only
// its own end marker ends it. Throws Failure when a Checksum or Signature section, which is left
// out of the result, is not ended; a failed read of `in` leaves with the stream's own exception.
Draft readDraft(std::istream& in) {
    in.clear();
    in.seekg(0);
    Draft draft;
    bool inSection = false;
    std::string line;
    while (getLine(in, line)) {
        const std::size_t lineBegin = draft.readers.data().size();
        draft.readers.add(line, in.eof());
        const std::size_t lineEnd = draft.readers.data().size();
        if (line == kDataEndLine) {
            draft.end = lineBegin;
            break;
        }
        draft.end = lineEnd;
        if (inSection) {
            DraftSection& section = draft.sections.back();
            section.ended = isEndMarker(line, section.name);
            section.bodyEnd = section.ended ? lineBegin : lineEnd;
            section.end = lineEnd;
            inSection = !section.ended;
        } else if (line.rfind(kBeginPrefix, 0) == 0) {
            const std::string name = line.substr(sizeof kBeginPrefix - 1);
            draft.firstOfName.emplace(name, draft.sections.size());
            draft.sections.push_back({name, lineBegin, lineEnd, lineEnd, lineEnd, false});
            inSection = true;
        }
    }
    if (inSection && isSealedAnew(draft.sections.back().name)) {
        sealError(draft.sections.back().name + ": section not ended before the end of the " +
                  "draft's data; dropping it would drop every line after it");
    }
    return draft;
}

// Returns the names of the sections to seal: `names` as given, or every section of `draft`
// but Checksum in the order they stand when none is given; each name once. Throws Failure when
// there is none, since a draft without sections is most likely a step before seal that failed,
// and when the draft's lines end with CR LF, which would seal Factoryinfo\r, not Factoryinfo.
std::vector<std::string> namesToSeal(const Draft& draft, const std::vector<std::string>& names) {
    std::vector<std::string> all = names;
    if (names.empty()) {
        for (const DraftSection& section : draft.sections) {
            if (!isSealedAnew(section.name)) {
                all.push_back(section.name);
            }
        }
        const std::string crlfName = std::string(kFactoryInfoSection) + kCarriageReturn;
        if (draft.firstOfName.count(crlfName) != 0 &&
            draft.firstOfName.count(kFactoryInfoSection) == 0) {
            sealError(crlfName + ": the draft's lines end with CR LF, so it holds no section " +
                      kFactoryInfoSection + "; end its lines with LF alone");
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

// Returns the first section called `name` in `draft`. Throws Failure when no sum can be
// recorded for that name, or the section is missing or not ended.
const DraftSection& sectionToSeal(const Draft& draft, const std::string& name) {
    const std::string problem = checksumNameProblem(name);
    if (!problem.empty()) {
        sealError(problem);
    }
    const auto first = draft.firstOfName.find(name);
    if (first == draft.firstOfName.end()) {
        const std::string crlfName = name + kCarriageReturn;
        sealError(name + ": no such section in the draft" +
                  (draft.firstOfName.count(crlfName) != 0
                       ? ", only " + crlfName + ": its lines end with CR LF"
                       : ""));
    }
    const DraftSection& section = draft.sections[first->second];
    if (!section.ended) {
        sealError(name + ": section not ended before the end of the draft's data");
    }
    return section;
}

// Throws Failure naming `section` unless readers of the draft read it as it stands there.
// Readers take the first line BeginOf + name, even one inside another section (the draft's old
// Checksum section included, which is left out of the sealed data): the draft would then mean
// another text than the one that would be sealed.
void requireSameForReaders(const Draft& draft, const DraftSection& section) {
    if (draft.readers.text(section.name) != draft.text(section)) {
        sealError(section.name + ": readers of the draft take an earlier line " + kBeginPrefix +
                  section.name + ", inside another section");
    }
}

// Returns the lines of `draft` up to its end of data without its Checksum and Signature
// sections.
std::string linesWithoutOldSeal(const Draft& draft) {
    const std::string& lines = draft.readers.data();
    std::string kept;
    std::size_t from = 0;
    for (const DraftSection& section : draft.sections) {
        if (isSealedAnew(section.name)) {
            kept.append(lines, from, section.begin - from);
            from = section.end;
        }
    }
    return kept.append(lines, from, draft.end - from);
}

// Reads `image` back as a device's readers read it: through FactoryData, the 16 MiB bound
// included, finding each section as they do. Throws Failure unless readers find there the
// Checksum section with the text `checksums`, and every section that readers of `draft` find,
// but its Checksum and Signature sections, with the text that they find in the draft. The sums
// then verify: each was computed from the text that readers find.
void requireReadBack(const Draft& draft, const std::string& image, const std::string& checksums) {
    FactoryData data(image.data(), image.size());
    SectionIndex sealed;
    try {
        sealed = indexSections(data.stream());
    } catch (const std::invalid_argument& error) {
        sealError("the sealed data takes " + std::to_string(image.size()) +
                  " bytes, and readers fail on it: " + error.what());
    }
    if (sealed.text(kChecksumSection) != std::string_view(checksums)) {
        sealError(std::string(kChecksumSection) +
                  ": would not read back from the sealed data as written; is there a line " +
                  kBeginPrefix + kChecksumSection + " inside an earlier section?");
    }
    for (const SectionIndex::Found& section : draft.readers.sections()) {
        if (section.ended && !isSealedAnew(section.name) &&
            sealed.text(section.name) != draft.readers.text(section)) {
            sealError(section.name + ": would not read back from the sealed data as readers of " +
                      "the draft read it; is a line " + kBeginPrefix + section.name +
                      " inside an earlier section, or inside the draft's Checksum section, " +
                      "which is left out?");
        }
    }
}

// Throws Failure unless the signature in `image` verifies with `key` as on a device, read
// through FactoryData.
void requireSignatureReadBack(const std::string& image, const PublicKey& key) {
    FactoryData data(image.data(), image.size());
    try {
        requireSignature(data.stream(), key);
    } catch (const Failure& failure) {
        sealError(failure.what() + std::string(" in the sealed data"));
    }
}

} // namespace

std::string seal(std::istream& draftData, const std::vector<std::string>& names,
                 std::optional<std::size_t> size, const PrivateKey* signingKey) {
    const Draft draft = readDraft(draftData);
    std::string checksums;
    for (const std::string& name : namesToSeal(draft, names)) {
        const DraftSection& section = sectionToSeal(draft, name);
        requireSameForReaders(draft, section);
        checksums += checksumEntries(name, std::string(draft.text(section)));
    }

    // The new Checksum and Signature sections: the one place where the sealed data gains lines.
    const std::string signature = signingKey ? signatureSection(*signingKey, checksums) : "";
    std::string image = linesWithoutOldSeal(draft) + kBeginPrefix + kChecksumSection + '\n' +
                        checksums + kEndPrefix + kChecksumSection + '\n' + signature +
                        kDataEndLine + '\n';
    if (size && image.size() > *size) {
        sealError("the sealed data takes " + std::to_string(image.size()) +
                  " bytes and does not fit in " + std::to_string(*size));
    }

    // Read back before the fill, which follows EndOfData, where every reader stops.
    requireReadBack(draft, image, checksums);
    if (signingKey) {
        requireSignatureReadBack(image, signingKey->publicKey());
    }
    if (size) {
        image.append(*size - image.size(), kErasedByte);
    }
    return image;
}

} // namespace tzo::factoryinfo::tool
