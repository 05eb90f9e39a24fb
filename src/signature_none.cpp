// The signature calls of a library built without signatures (TZO_FACTORYINFO_SIGNATURES=OFF),
// for a device image without libsodium: the same calls, each failing with its own code.
#include "tzo/factoryinfo.hpp"

#include "error.hpp"

namespace tzo::factoryinfo {

namespace {

// Throws the failure of every signature call in this build; never returns.
[[noreturn]] __attribute__((noinline)) void noSignatures() {
    detail::fail(TZO_FI_NO_SIGNATURES);
}

} // namespace

PublicKey::PublicKey(const std::string&) {
    noSignatures();
}

SigningKey::SigningKey(const std::string&) {
    noSignatures();
}

SigningKey::~SigningKey() = default;

std::string SigningKey::signatureSection(const std::string&) const {
    noSignatures();
}

const PublicKey& verifySignature(std::istream&, const std::vector<PublicKey>&) {
    noSignatures();
}

} // namespace tzo::factoryinfo
