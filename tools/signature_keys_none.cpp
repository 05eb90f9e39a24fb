// The keys of a tool built without signatures (TZO_FACTORYINFO_SIGNATURES=OFF), for a device
// image without OpenSSL's libcrypto: no key can be read, so nothing is ever signed or checked,
// and --key and --sign-key say why.
#include "signature.hpp"

#include "status.hpp"

#include <stdexcept>

namespace tzo::factoryinfo::tool {

namespace {

// Throws the failure for `option`, which needs signatures.
[[noreturn]] void notBuiltIn(const char* option) {
    throw Failure(kUsageError,
                  std::string(option) + ": this tzo-factoryinfo is built without signatures");
}

// Throws for the calls that only a key could reach.
[[noreturn]] void unreachable() {
    throw std::logic_error("no key exists in a tool built without signatures");
}

} // namespace

PublicKey PublicKey::read(const std::string&) {
    notBuiltIn("--key");
}

bool PublicKey::verifies(const std::string&, const std::string&) const {
    unreachable();
}

PrivateKey PrivateKey::read(const std::string&) {
    notBuiltIn("--sign-key");
}

PublicKey PrivateKey::publicKey() const {
    unreachable();
}

std::string PrivateKey::sign(const std::string&) const {
    unreachable();
}

} // namespace tzo::factoryinfo::tool
