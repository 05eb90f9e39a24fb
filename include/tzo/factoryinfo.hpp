// tzo-gw-factoryinfo: reads and verifies the factory data of a TZO gateway.
//
// The factory data is plain text kept in the flash partition labelled FACTORY and read through
// "/dev/mtd/by-label/FACTORY". It is a sequence of lines, each ended by LF. Nothing else is
// stripped: a CR before the LF and blanks belong to the line and take part in every comparison.
//
//   BeginOfFactoryinfo            a section named N starts with the line "BeginOf" + N,
//   SerialNumber=GW4-000123       holds body lines,
//   EndOfFactoryinfo              and ends with the line "EndOf" + N.
//   BeginOfChecksum
//   FactoryinfoType=sha256        the sum of section N: N + "Type" and N + "Sum"
//   FactoryinfoSum=9f86d0...
//   EndOfChecksum
//   EndOfData                     the data ends here; nothing after this line is ever read
//
// - The data ends at the first line that is exactly "EndOfData", or at the end of the stream.
// - Markers are compared byte for byte against whole lines; names are case-sensitive. Lines
//   outside sections are skipped. There is no nesting, escaping or comment syntax.
// - Every search for a section starts again at the beginning of the data, so the first begin
//   marker of a name wins, wherever it stands (even inside another section's body).
// - The "section text" of N is its body lines, each followed by one LF, without the markers.
// - Key/value sections hold lines key=value, split at the first "="; lines without "=" are
//   skipped, and the first line of a repeated key wins. Keys and values are taken as they stand.
// - The section "Checksum" records for a section N the entries N + "Type" (only "sha256" is
//   accepted) and N + "Sum" (the SHA-256 of N's section text as hexadecimal, any letter case).
//
// Every failure of the library is reported by throwing std::invalid_argument with a fixed
// English message; the library never prints and keeps no state between calls.
#ifndef TZO_FACTORYINFO_HPP
#define TZO_FACTORYINFO_HPP

#include <istream>
#include <map>
#include <string>

#if defined(__GNUC__)
#define TZO_FACTORYINFO_API __attribute__((visibility("default")))
#else
#define TZO_FACTORYINFO_API
#endif

namespace tzo {
namespace factoryinfo {

// ---------------------------------------------------------------------------------------------
// Reading from a stream
//
// These functions work on any seekable input stream that the caller owns. They move its
// position and flags, never open or close it, and throw nothing of their own: every outcome is
// reported through the stream's flags (eof, fail, bad) and, for the section readers, through
// `lastLine`.
//
// Give them a stream without exceptions enabled, as streams come. On a stream whose caller has
// enabled exceptions, every flag they set throws std::ios_base::failure, which passes through
// unchanged, here and in the objects below: reaching the end of the data then throws too.
// ---------------------------------------------------------------------------------------------

// Reads one line, up to and without its LF, into `line`, as std::getline does. If the line read
// is exactly "EndOfData", also sets eof on the stream: the caller still gets that line, with the
// stream not failed, and the next read fails. A last line without LF is returned whole with eof
// set; at the physical end `line` becomes empty with eof and fail set; on a stream that is not
// good nothing is read, `line` is kept and fail is set.
// Returns `in`.
TZO_FACTORYINFO_API std::istream& getLine(std::istream& in, std::string& line);

// Clears the flags of `in`, rewinds it to position 0 and reads lines until one is exactly
// "BeginOf" + `name` (the name is used as given, the empty one included).
// Returns `in`. Found: `in` is not at eof and the next read gives the first body line.
// Not found: eof and fail are set. A begin marker that is the last line of the data, without LF,
// leaves eof set and so counts as not found.
TZO_FACTORYINFO_API std::istream& seekBeginOfSection(std::istream& in, const std::string& name);

// Rewinds `in`, finds section `name` as seekBeginOfSection does, and collects its body lines up
// to the line "EndOf" + `name`. Every line read is stored in `lastLine`.
// Returns the section text: each body line followed by one LF. It is empty for an empty or a
// missing section; for a section cut short by "EndOfData" it ends with "EndOfData\n".
// Afterwards `lastLine` is the end marker when the section was properly ended; otherwise, with
// `in` at eof, the last line read, an empty line at the physical end, or the caller's value
// untouched when not a single line could be read (as for a missing section).
TZO_FACTORYINFO_API std::string getSectionAsString(std::istream& in, const std::string& name,
                                                   std::string& lastLine);

// Reads key/value lines from where `in` stands up to the line "EndOf" + `name`; call
// seekBeginOfSection with the same name first. Every line read is stored in `lastLine`, with the
// same outcomes as for getSectionAsString.
// Returns the pairs, split at the first "=" of each line (key and value may be empty; the value
// keeps any further "="). Lines without "=" are skipped; a repeated key keeps its first value.
// The map is ordered by unsigned byte values, a prefix before the longer key.
TZO_FACTORYINFO_API std::map<std::string, std::string>
getSectionAsMap(std::istream& in, const std::string& name, std::string& lastLine);

// Verifies section `name` of `in` against the entries name + "Type" and name + "Sum" of the
// section "Checksum". The sum is the SHA-256 of the section text as getSectionAsString returns
// it; the stored sum matches when it has the same length and equal characters ignoring A-Z case.
// A missing section `name` is summed as empty text: callers that need it check it first.
// Returns true when a sum is recorded and matches; false when there is no "Checksum" section or
// it has neither entry for `name`.
// Throws std::invalid_argument with one of these messages:
//   "end of file reached before finding end of checksum section"
//   "Missing checksum entry"             only one of the two entries is recorded
//   "Unsupported sum"                    the type is not exactly "sha256"
//   "Calculated checksum do not match the provided one"
//   "section too large to checksum"      the section text exceeds 4294967295 bytes
//   "error reading factory data"         a read failed other than at the end of the data
TZO_FACTORYINFO_API bool checksumSection(std::istream& in, const std::string& name);

// ---------------------------------------------------------------------------------------------
// Factory data objects
//
// The objects read everything when they are constructed and hold only in-memory copies: no file
// stays open and nothing is read again. A constructor that throws leaves no object behind. A
// constructed object is immutable, so concurrent reads of one object need no locking.
//
// The constructors without a stream read "/dev/mtd/by-label/FACTORY" once: in aligned 4 KiB
// reads, each byte at most once and no further than the read that holds the last line needed,
// keeping what they have read in memory for the rewinds of their later passes, which therefore
// all see the same bytes. They read no more than 16 MiB, and release the memory when they
// return or throw. The constructors on a caller's stream read it as the functions above do,
// rewinding it for every pass.
// ---------------------------------------------------------------------------------------------

// The key/value pairs of the "Factoryinfo" section, verified against the "Checksum" section.
class TZO_FACTORYINFO_API FactoryInfo {
public:
    // Reads "/dev/mtd/by-label/FACTORY".
    // Throws std::invalid_argument "unable to open factory file" if it cannot be opened,
    // "factory data exceeds 16 MiB" if it needs more than the first 16 MiB (16777216 bytes) of
    // the device, and otherwise as FactoryInfo(std::istream&).
    FactoryInfo();

    // Reads the seekable stream `in`, which is rewound first and left wherever reading ends.
    // Throws std::invalid_argument with one of these messages:
    //   "End of data reached before finding factory info"
    //   "end of file reached before finding end of factory info"
    //   "error reading factory data"         a read failed other than at the end of the data
    //   any message of checksumSection: a recorded sum must match
    explicit FactoryInfo(std::istream& in);

    // Returns the value of `key`, or an empty string when the key is absent (a key with an
    // empty value gives the same). The reference lives as long as the object; the one for an
    // absent key as long as the library is loaded.
    const std::string& operator[](const std::string& key) const;

    // Returns every pair of the section, ordered by key.
    const std::map<std::string, std::string>& entries() const { return m_entries; }

    // Returns true when a sum was recorded for "Factoryinfo" and matched; false when none was.
    bool isChecksumValid() const { return m_checksumValid; }

private:
    bool m_checksumValid;
    std::map<std::string, std::string> m_entries;
};

// The raw text of one named section, verified against the "Checksum" section.
class TZO_FACTORYINFO_API Section {
public:
    // Reads section `name` of "/dev/mtd/by-label/FACTORY".
    // Throws std::invalid_argument "unable to open factory file" if it cannot be opened,
    // "factory data exceeds 16 MiB" if it needs more than the first 16 MiB (16777216 bytes) of
    // the device, and otherwise as Section(std::istream&, const std::string&).
    explicit Section(const std::string& name);

    // Reads section `name` of the seekable stream `in`, which is rewound first and left
    // wherever reading ends.
    // Throws std::invalid_argument with one of these messages:
    //   "end of file reached before finding end of section"   missing, or not properly ended
    //   "error reading factory data"         a read failed other than at the end of the data
    //   any message of checksumSection: a recorded sum must match
    Section(std::istream& in, const std::string& name);

    // Returns the section text: each body line followed by one LF, without the markers.
    const std::string& dump() const;

    // Returns true when a sum was recorded for the section and matched; false when none was.
    bool isChecksumValid() const { return m_checksumValid; }

private:
    bool m_checksumValid;
    std::string m_content;
};

} // namespace factoryinfo
} // namespace tzo

#endif // TZO_FACTORYINFO_HPP
