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
//   EndOfData                     the data ends here; nothing after this line counts
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
// English message, and running out of memory, in the crypto library too, by throwing
// std::bad_alloc; the library never prints and keeps no state between calls.
#ifndef TZO_FACTORYINFO_HPP
#define TZO_FACTORYINFO_HPP

#include <cstddef>
#include <istream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define TZO_FACTORYINFO_API __attribute__((visibility("default")))
#else
#define TZO_FACTORYINFO_API
#endif

namespace tzo {
namespace factoryinfo {

// The factory device, and the words of the format that programs writing factory data need.
constexpr char kFactoryDevicePath[] = "/dev/mtd/by-label/FACTORY";
constexpr char kBeginPrefix[] = "BeginOf";   // a begin marker: "BeginOf" + name
constexpr char kEndPrefix[] = "EndOf";       // an end marker: "EndOf" + name
constexpr char kDataEndLine[] = "EndOfData"; // the line that ends the data
constexpr char kFactoryInfoSection[] = "Factoryinfo";
constexpr char kChecksumSection[] = "Checksum";
constexpr char kSignatureSection[] = "Signature"; // signs the text of the Checksum section

// The most that is read of any factory data: 16 MiB, a whole 128-Mbit SPI NOR chip, more than
// any factory partition on it holds, yet little enough to keep in memory for a moment. Anything
// that needs more is not factory data: the wrong partition, /dev/zero, a pipe that never ends.
constexpr std::size_t kMaxDataSize = 16 * 1024 * 1024;

// The messages of ReadError, for programs that raise the library's read error themselves.
constexpr char kOpenErrorMessage[] = "unable to open factory file";
constexpr char kReadErrorMessage[] = "error reading factory data";

// The failure to open or to read factory data, with its cause. what() is kOpenErrorMessage or
// kReadErrorMessage; callers that catch std::invalid_argument catch it as any other failure.
class TZO_FACTORYINFO_API ReadError : public std::invalid_argument {
public:
    // A failure with the message `message`, caused by the error number `errorNumber` (an errno
    // value, or 0 when the cause is not known).
    ReadError(const char* message, int errorNumber);
    ~ReadError() noexcept;

    // Returns the errno of the call that failed, EBADMSG when the flash reported an
    // uncorrectable ECC error in the data that it returned, EMEDIUMTYPE for NAND flash given
    // through its MTD block device, or 0 when the cause is not known (a caller's stream that
    // failed).
    int errorNumber() const { return m_errorNumber; }

    // Returns the cause in words: "uncorrectable ECC error" for EBADMSG, for EMEDIUMTYPE the
    // device to read instead, strerror's text for another error number, and "" when the cause
    // is not known.
    const char* cause() const;

private:
    int m_errorNumber;
};

// ---------------------------------------------------------------------------------------------
// Reading from a stream
//
// These functions work on any seekable input stream that the caller owns. They move its
// position and flags, never open or close it, and throw nothing of their own: every outcome is
// reported through the stream's flags (eof, fail, bad) and, for the section readers, through
// `lastLine`.
//
// The functions that throw report a read that failed other than at the end of the data as
// ReadError "error reading factory data": the objects below, checksumSection and
// readSectionText. The stream of a FactoryData throws ReadError itself, with the cause.
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
//   "crypto library failed to compute SHA-256"   other than by running out of memory
//   "error reading factory data"         a read failed other than at the end of the data
TZO_FACTORYINFO_API bool checksumSection(std::istream& in, const std::string& name);

// Reads section `name` of `in` as getSectionAsString does, and requires it to be there and
// properly ended; whatever sum is recorded for it is not looked at.
// Returns the section text.
// Throws std::invalid_argument with one of these messages:
//   "end of file reached before finding end of section"   missing, or not properly ended
//   "error reading factory data"         a read failed other than at the end of the data
TZO_FACTORYINFO_API std::string readSectionText(std::istream& in, const std::string& name);

// Returns the two lines that record in the "Checksum" section the sum of a section `name` whose
// section text is `text`: name + "Type=sha256" and name + "Sum=" followed by the SHA-256 of
// `text` as 64 lower-case hexadecimal digits, each line followed by LF. The sum is computed with
// the function that checksumSection verifies it with.
// Throws std::invalid_argument "section too large to checksum" when `text` exceeds 4294967295
// bytes, or "crypto library failed to compute SHA-256".
TZO_FACTORYINFO_API std::string checksumEntries(const std::string& name, const std::string& text);

// Every section of factory data, found in one pass over its lines by the rules above, for the
// programs that need them all at once: where readers find each section, where each stands in
// the data, and the data itself up to its end.
class TZO_FACTORYINFO_API SectionIndex {
public:
    // A section: where its lines lie in data(). One that is not ended runs to where reading
    // ends: for readers, data().size(), the line "EndOfData" included; as it stands, dataEnd().
    struct Entry {
        std::string name;
        std::size_t begin;     // its begin marker
        std::size_t bodyBegin; // its first body line
        std::size_t bodyEnd;   // its end marker once ended
        std::size_t end;       // after its end marker once ended
        bool ended;
        std::size_t beginLines; // sections(): the lines "BeginOf" + name in the data
    };

    // Reads `in` from its start, as seekBeginOfSection rewinds it, line by line as getLine reads,
    // up to the end of the data. Throws ReadError "error reading factory data" when a read fails
    // other than at the end of the data; a stream that throws itself (that of a FactoryData)
    // leaves with its own exception.
    explicit SectionIndex(std::istream& in);
    ~SectionIndex();

    // Returns every line read, each followed by one LF, the line "EndOfData" included.
    const std::string& data() const { return m_data; }

    // Returns where the data ends in data(): the start of the line "EndOfData", or its size.
    std::size_t dataEnd() const { return m_dataEnd; }

    // Returns the sections as readers find them, in the order of their begin markers: for each
    // name, from its first line "BeginOf" + name, wherever it stands (inside another section's
    // body too), to the next line "EndOf" + name. A begin marker on the last line, which no line
    // can follow, starts a section that is never ended.
    const std::vector<Entry>& sections() const { return m_sections; }

    // Returns the sections as they stand, in order: a begin marker outside any section starts
    // one, which only its own end marker ends, and the line "EndOfData" ends the data before it
    // ends anything. A name may stand more than once.
    const std::vector<Entry>& layout() const { return m_layout; }

    // Returns the section called `name` as readers find it, or a null pointer when none is.
    const Entry* find(const std::string& name) const;

    // Returns the text of `section`: its body lines, each followed by one LF.
    std::string text(const Entry& section) const;

private:
    std::string m_data;
    std::size_t m_dataEnd;
    std::vector<Entry> m_sections;
    std::vector<Entry> m_layout;
    std::map<std::string, std::size_t> m_sectionOfName; // into m_sections
};

// ---------------------------------------------------------------------------------------------
// Reading factory data once
//
// Flash is read as little as possible, and data that may change or never end must not be
// trusted, so factory data from a device, a file, a pipe or memory is read through FactoryData.
// Its stream reads the source forward, once: in aligned 4 KiB reads, each byte at most once and
// no further than the read that holds the last line a reader needs. What has been read is kept
// in memory for the rewinds of the section searches, so every pass, and every object
// constructed on the stream, sees the same bytes, however the source changes meanwhile, and a
// pipe can be read as well as a file. No more than 16 MiB is read: 16 MiB is a whole 128-Mbit
// SPI NOR chip, so a reader that needs more has the wrong device, /dev/zero or a pipe that never
// ends, and fails with "factory data exceeds 16 MiB".
//
// An MTD character device of NAND type is read as nandwrite writes it: from its start, erase
// block by erase block, passing over each block that the kernel reports bad. A NAND page with an
// uncorrectable ECC error, which the kernel returns as if it had been read well, is a read error
// (ReadError with EBADMSG): nothing is made from such data. Corrected bit flips are not errors.
// A page is read only when data in it is needed, so a failing page after the data's end changes
// nothing. NAND given through its MTD block device, /dev/mtdblockN, which reads bad blocks as
// data, is refused (ReadError with EMEDIUMTYPE): read /dev/mtdN.
// ---------------------------------------------------------------------------------------------

class PublicKey;

// Factory data read once from a device, a file, a pipe or memory.
class TZO_FACTORYINFO_API FactoryData {
public:
    // Opens `path` for reading: "/dev/mtd/by-label/FACTORY" by default, or any other device or
    // file. Throws ReadError "unable to open factory file", with the cause, when it cannot.
    explicit FactoryData(const std::string& path = kFactoryDevicePath);

    // Reads the open file descriptor `descriptor` from where it stands (0 for standard input).
    // It stays open: the caller closes it, after this object is gone.
    explicit FactoryData(int descriptor);

    // Reads the `size` bytes at `data`, as the data of a device is read, the 16 MiB bound
    // included. They must not change while this object lives.
    FactoryData(const char* data, std::size_t size);

    ~FactoryData();

    // Returns the data as a seekable stream, for the functions above and the objects' stream
    // constructors; it lives as long as this object. A failed read of the source leaves the
    // function reading with its exception: ReadError "error reading factory data" with the
    // cause, or std::invalid_argument "factory data exceeds 16 MiB". Use it in one thread at a
    // time.
    std::istream& stream();

    // Checks the signature of the data against `keys`, as verifySignature(stream(), keys) does.
    // Returns the key that made it.
    const PublicKey& verifySignature(const std::vector<PublicKey>& keys);

    FactoryData(const FactoryData&) = delete; // it owns the data read so far
    FactoryData& operator=(const FactoryData&) = delete;

private:
    class Reader;
    Reader* m_reader;
};

// ---------------------------------------------------------------------------------------------
// Signatures
//
// The station that seals factory data may sign the text of its Checksum section with an Ed25519
// private key kept at the factory; a device that holds the public key then accepts only data
// whose sums that key vouches for, so that sums rewritten by anyone without it are found out:
//
//   BeginOfSignature
//   Type=ed25519
//   KeyId=<16 lower-case hexadecimal digits: the start of SHA-256 of the raw public key>
//   Value=<128 lower-case hexadecimal digits: the 64 bytes of the signature>
//   EndOfSignature
//
// The signed message is kSignedMessagePrefix followed by the section text of Checksum. The
// section must hold exactly these three lines, in this order, and the data exactly one line
// BeginOfSignature. Keys are PEM files as `openssl genpkey -algorithm ed25519` (private) and
// `openssl pkey -pubout` (public) write them, read strictly: nothing but that one PEM block.
//
// A library built without signatures (TZO_FACTORYINFO_SIGNATURES=OFF) has the same calls; each
// throws std::invalid_argument "this build of the factory data library has no signature
// support".
// ---------------------------------------------------------------------------------------------

// Starts every signed message, so that a signature of the format can never pass for one made
// for another purpose with the same key.
constexpr char kSignedMessagePrefix[] = "tzo-gw-factoryinfo Checksum signature 1\n";

// An Ed25519 public key that checks signatures, as a device holds it.
class TZO_FACTORYINFO_API PublicKey {
public:
    // Reads the key from `pem`, the text of a PEM public key file.
    // Throws std::invalid_argument with one of these messages:
    //   "not a public key in PEM"            not exactly one PEM block PUBLIC KEY
    //   "not an Ed25519 key"                 another algorithm, or a wrong length
    //   "holds a private key, which must not leave the station; give the public half (openssl
    //    pkey -pubout)"
    //   "a weak key: of small order, or not a point of Ed25519's group; forged signatures could
    //    pass under it"
    explicit PublicKey(const std::string& pem);

    // Returns the key id: the first 8 bytes of the SHA-256 of the 32 bytes of the raw key, as 16
    // lower-case hexadecimal digits.
    const std::string& id() const { return m_id; }

    // Returns the 32 bytes of the raw key.
    const std::string& raw() const { return m_raw; }

private:
    friend class SigningKey;
    PublicKey() {}

    std::string m_raw; // the 32 bytes of the key
    std::string m_id;
};

// An Ed25519 private key that signs, as the station holds it; its bytes are wiped when it goes.
class TZO_FACTORYINFO_API SigningKey {
public:
    // Reads the key from `pem`, the text of an unencrypted PEM private key file.
    // Throws std::invalid_argument with one of these messages:
    //   "not a private key in PEM"           not exactly one PEM block PRIVATE KEY
    //   "not an Ed25519 key"                 another algorithm, or a wrong length
    //   "encrypted with a passphrase; decrypt it with openssl pkey into /dev/fd/N, so that it
    //    never lies in a file unencrypted"
    explicit SigningKey(const std::string& pem);
    ~SigningKey();

    // Returns the public half of this key.
    const PublicKey& publicKey() const { return m_public; }

    // Returns the Signature section, markers included, that signs `checksumText`, the section
    // text of a Checksum section, with this key.
    std::string signatureSection(const std::string& checksumText) const;

    SigningKey(const SigningKey&) = delete; // it owns the secret
    SigningKey& operator=(const SigningKey&) = delete;

private:
    std::string m_secret; // libsodium's secret key: the seed and the public key
    PublicKey m_public;
};

// Checks that the data of the seekable stream `in` holds one Signature section, well-formed,
// made by one of `keys` over the section text of its Checksum section, all read in one pass
// (SectionIndex). Give it the stream of a FactoryData, and construct the objects from that same
// stream afterwards: they then see the bytes that the signature vouches for.
// Returns the key of `keys` that made the signature.
// Throws std::invalid_argument with the message of a failed read (ReadError), or one that starts
// "Signature: ": no Signature section, more than one, not ended, not exactly its three lines, an
// unsupported type, a KeyId or Value that is not lower-case hexadecimal of its length, made by
// none of `keys` ("Signature: made by none of the keys given", followed by the KeyId of the
// data and those of `keys`), no ended Checksum section, or "Signature: does not match the
// Checksum section": the data or the signature was changed after signing.
// A check that cannot run for lack of memory throws std::bad_alloc, never one of these.
TZO_FACTORYINFO_API const PublicKey& verifySignature(std::istream& in,
                                                     const std::vector<PublicKey>& keys);

// ---------------------------------------------------------------------------------------------
// Factory data objects
//
// The objects read everything when they are constructed and hold only in-memory copies: no file
// stays open and nothing is read again. A constructor that throws leaves no object behind. A
// constructed object is immutable, so concurrent reads of one object need no locking.
//
// The constructors without a stream read "/dev/mtd/by-label/FACTORY" through a FactoryData of
// their own, and release it when they return or throw. The constructors on a stream read it as
// the functions above do, rewinding it for every pass; give them the stream of a FactoryData to
// read a device, a file or a pipe once.
// ---------------------------------------------------------------------------------------------

// The key/value pairs of the "Factoryinfo" section, verified against the "Checksum" section.
class TZO_FACTORYINFO_API FactoryInfo {
public:
    // Reads "/dev/mtd/by-label/FACTORY" through a FactoryData.
    // Throws ReadError "unable to open factory file" if it cannot be opened, "factory data
    // exceeds 16 MiB" if it needs more than the first 16 MiB (16777216 bytes) of the device, and
    // otherwise as FactoryInfo(std::istream&).
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
    // Reads section `name` of "/dev/mtd/by-label/FACTORY" through a FactoryData.
    // Throws ReadError "unable to open factory file" if it cannot be opened, "factory data
    // exceeds 16 MiB" if it needs more than the first 16 MiB (16777216 bytes) of the device, and
    // otherwise as Section(std::istream&, const std::string&).
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
