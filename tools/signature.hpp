// The key files of --key and seal --sign-key, read for the library, which holds the keys and
// the signatures.
#ifndef TZO_FACTORYINFO_TOOL_SIGNATURE_HPP
#define TZO_FACTORYINFO_TOOL_SIGNATURE_HPP

#include <tzo/factoryinfo.hpp>

#include <memory>
#include <string>
#include <vector>

namespace tzo::factoryinfo::tool {

// Returns the public keys in the PEM files at `paths`, in their order, as `openssl pkey
// -pubout` writes them; /dev/fd/N reads one from the open file descriptor N. Throws Failure
// (kUsageError) naming --key and the path when a file cannot be read, is empty or too large, or
// the library refuses the key it holds. The message never holds any of the file's bytes.
std::vector<PublicKey> readPublicKeys(const std::vector<std::string>& paths);

// Returns the private key in the PEM file at `path`, as `openssl genpkey -algorithm ed25519`
// writes it; /dev/fd/N reads it from the open file descriptor N, so that it need not lie in a
// file. Throws Failure (kUsageError) naming --sign-key and `path` as readPublicKeys does.
std::unique_ptr<SigningKey> readSigningKey(const std::string& path);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_SIGNATURE_HPP
