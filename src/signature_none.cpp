// The signature calls of a library built without signatures (TZO_FACTORYINFO_SIGNATURES=OFF),
// for a device image without libsodium: the same calls, each failing with its own code.
#include "tzo/factoryinfo.hpp"

#include "error.hpp"

namespace tzo::factoryinfo {

PublicKey::PublicKey(const std::string&) {
    detail::fail(TZO_FI_NO_SIGNATURES);
}

SigningKey::SigningKey(const std::string&) {
    detail::fail(TZO_FI_NO_SIGNATURES);
}

SigningKey::~SigningKey() = default;

std::string SigningKey::signatureSection(const std::string&) const {
    detail::fail(TZO_FI_NO_SIGNATURES);
}

const PublicKey& verifySignature(std::istream&, const std::vector<PublicKey>&) {
    detail::fail(TZO_FI_NO_SIGNATURES);
}

} // namespace tzo::factoryinfo
