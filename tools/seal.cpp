// Sealing a draft: reading it once, as it stands and as readers find its sections, writing the
// Checksum section for it, and reading the result back through the library before it is handed
// out. Every step takes time in proportion to the draft.
#include "seal.hpp"

#include "checksum_names.hpp"
#include "status.hpp"

#include <tzo/factoryinfo.hpp>

#include <optional>
#include <set>
#include <stdexcept>
#include <unordered_map>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kErasedByte = '\xff'; // what erased flash reads as
constexpr char kCarriageReturn = '\r';

using Entry = SectionIndex::Entry;

// The draft up to its end of data, read once: its lines and its sections, as readers find them
// and as they stand.
struct Draft {
    explicit Draft(std::istream& in);

    SectionIndex index;
    std::unordered_map<std::string, std::size_t> firstOfName; // into index.layout()
};

// Throws the failure of seal with `message`.
[[noreturn]] void sealError(const std::string& message) {
    throw Failure(kDataError, message);
}

// Returns true for the sections that seal writes anew, and leaves out of the draft.
bool isSealedAnew(const std::string& name) {
    return name == kChecksumSection || name == kSignatureSection;
}

// Returns the text of the section called `name` as readers of `index` read it, or nothing when
// they cannot: it is missing, or not ended.
std::optional<std::string> readersText(const SectionIndex& index, const std::string& name) {
    const Entry* section = index.find(name);
    if (section == nullptr || !section->ended) {
        return std::nullopt;
    }
    return index.text(*section);
}

// Reads the draft from the start of `in`. Throws Failure when a Checksum or Signature section,
// which is left out of the result, is not ended; a failed read of `in` leaves with the stream's
// own exception, or as ReadError.
Draft::Draft(std::istream& in) : index(in) {
    const std::vector<Entry>& layout = index.layout();
    for (std::size_t at = 0; at < layout.size(); ++at) {
        firstOfName.emplace(layout[at].name, at);
    }
    if (!layout.empty() && !layout.back().ended && isSealedAnew(layout.back().name)) {
        sealError(layout.back().name + ": section not ended before the end of the draft's " +
                  "data; dropping it would drop every line after it");
    }
}

// Returns the names of the sections to seal: `names` as given, or every section of `draft`
// but Checksum in the order they stand when none is given; each name once. Throws Failure when
// there is none, since a draft without sections is most likely a step before seal that failed,
// and when the draft's lines end with CR LF, which would seal Factoryinfo\r, not Factoryinfo.
std::vector<std::string> namesToSeal(const Draft& draft, const std::vector<std::string>& names) {
    std::vector<std::string> all = names;
    if (names.empty()) {
        for (const Entry& section : draft.index.layout()) {
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
const Entry& sectionToSeal(const Draft& draft, const std::string& name) {
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
    const Entry& section = draft.index.layout()[first->second];
    if (!section.ended) {
        sealError(name + ": section not ended before the end of the draft's data");
    }
    return section;
}

// Throws Failure naming `section` unless readers of the draft read it as it stands there.
// Readers take the first line BeginOf + name, even one inside another section (the draft's old
// Checksum section included, which is left out of the sealed data): the draft would then mean
// another text than the one that would be sealed.
void requireSameForReaders(const Draft& draft, const Entry& section) {
    if (readersText(draft.index, section.name) != draft.index.text(section)) {
        sealError(section.name + ": readers of the draft take an earlier line " + kBeginPrefix +
                  section.name + ", inside another section");
    }
}

// Returns the lines of `draft` up to its end of data without its Checksum and Signature
// sections.
std::string linesWithoutOldSeal(const Draft& draft) {
    const std::string& lines = draft.index.data();
    std::string kept;
    std::size_t from = 0;
    for (const Entry& section : draft.index.layout()) {
        if (isSealedAnew(section.name)) {
            kept.append(lines, from, section.begin - from);
            from = section.end;
        }
    }
    return kept.append(lines, from, draft.index.dataEnd() - from);
}

// Reads `image` back as a device's readers read it: through FactoryData, the 16 MiB bound
// included, finding each section as they do. Throws Failure unless readers find there the
// Checksum section with the text `checksums`, and every section that readers of `draft` find,
// but its Checksum and Signature sections, with the text that they find in the draft. The sums
// then verify: each was computed from the text that readers find.
void requireReadBack(const Draft& draft, const std::string& image, const std::string& checksums) {
    FactoryData data(image.data(), image.size());
    std::optional<SectionIndex> sealed;
    try {
        sealed.emplace(data.stream());
    } catch (const std::invalid_argument& error) {
        sealError("the sealed data takes " + std::to_string(image.size()) +
                  " bytes, and readers fail on it: " + error.what());
    }
    if (readersText(*sealed, kChecksumSection) != checksums) {
        sealError(std::string(kChecksumSection) +
                  ": would not read back from the sealed data as written; is there a line " +
                  kBeginPrefix + kChecksumSection + " inside an earlier section?");
    }
    for (const Entry& section : draft.index.sections()) {
        if (section.ended && !isSealedAnew(section.name) &&
            readersText(*sealed, section.name) != draft.index.text(section)) {
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
        data.verifySignature({key});
    } catch (const std::invalid_argument& error) {
        sealError(error.what() + std::string(" in the sealed data"));
    }
}

} // namespace

std::string seal(std::istream& draftData, const std::vector<std::string>& names,
                 std::optional<std::size_t> size, const SigningKey* signingKey) {
    const Draft draft(draftData);
    std::string checksums;
    for (const std::string& name : namesToSeal(draft, names)) {
        const Entry& section = sectionToSeal(draft, name);
        requireSameForReaders(draft, section);
        checksums += checksumEntries(name, draft.index.text(section));
    }

    // The new Checksum and Signature sections: the one place where the sealed data gains lines.
    const std::string signature = signingKey ? signingKey->signatureSection(checksums) : "";
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
