// The library's messages, each defined once: every failure of the library is reported with one
// of these, word for word.
#ifndef TZO_FACTORYINFO_MESSAGES_HPP
#define TZO_FACTORYINFO_MESSAGES_HPP

namespace tzo::factoryinfo::detail {

// Opening and reading the factory data.
inline constexpr char kOpenErrorMessage[] = "unable to open factory file";
inline constexpr char kReadErrorMessage[] = "error reading factory data";
inline constexpr char kTooMuchDataMessage[] = "factory data exceeds 16 MiB";

// Finding the sections.
inline constexpr char kFactoryInfoNotFoundMessage[] =
    "End of data reached before finding factory info";
inline constexpr char kFactoryInfoUnendedMessage[] =
    "end of file reached before finding end of factory info";
inline constexpr char kSectionUnendedMessage[] =
    "end of file reached before finding end of section";

// Verifying a section against the Checksum section.
inline constexpr char kChecksumUnendedMessage[] =
    "end of file reached before finding end of checksum section";
inline constexpr char kMissingEntryMessage[] = "Missing checksum entry";
inline constexpr char kUnsupportedSumMessage[] = "Unsupported sum";
inline constexpr char kMismatchMessage[] = "Calculated checksum do not match the provided one";
inline constexpr char kTooLargeMessage[] = "section too large to checksum";

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_MESSAGES_HPP
