// seal: the complete factory data made from a draft, with a Checksum section that records the
// sums of its sections, checked by reading it back before any of it is written.
#ifndef TZO_FACTORYINFO_TOOL_SEAL_HPP
#define TZO_FACTORYINFO_TOOL_SEAL_HPP

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace tzo::factoryinfo {
class SigningKey;
}

namespace tzo::factoryinfo::tool {

// Returns the factory data made from the draft read from `draft`: the draft up to its end of
// data, byte for byte but without its Checksum and Signature sections (a last line without LF
// gets one); a new Checksum section with the entries of each section of `names`, or of every
// section but Checksum and Signature in the order they stand when `names` is empty; with
// `signingKey`, a Signature section that signs it; and the line EndOfData. With `size`, the
// erased-flash byte 0xff follows up to `size` bytes. The draft is read once, and the time taken
// grows with its size alone, however many sections it holds.
// Throws Failure (kDataError), naming the section, when a section to seal is missing, not
// ended, has a name no sum can be recorded for, or is not the one that readers of the draft
// take; when readers would not find in the result the new Checksum section, or any section
// that they find in the draft, as written; when the signature would not verify there with the
// public half of `signingKey`; when the draft's lines end with CR LF; and when the result does
// not fit in `size` bytes, or is more than readers read (16 MiB). A failed read of `draft`
// leaves with its own exception; a section too large to checksum throws std::invalid_argument.
std::string seal(std::istream& draft, const std::vector<std::string>& names,
                 std::optional<std::size_t> size, const SigningKey* signingKey = nullptr);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_SEAL_HPP
