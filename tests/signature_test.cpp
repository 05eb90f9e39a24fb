// The signature check of the tool on data that a device fails to read; what it gives for data
// and keys is in the cases of tests/cases/ (tool-keys/).
#include "signature.hpp"
#include "status.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tzo::factoryinfo::test {
namespace {

// A second line BeginOfSignature may follow anywhere, so a read fault anywhere before the end
// of the data is the read error, even where every section that the check reads stands before
// it.
TEST(Signature, ReadFaultBeforeTheEndOfTheDataIsTheReadError) {
    std::ifstream file(TZO_CASES_DIR "/tool-keys/verify-signed", std::ios_base::binary);
    std::string arguments;
    std::getline(file, arguments);
    const std::string data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const tool::PublicKey key = tool::PublicKey::read("tests/keys/station.pub");
    const Read check = [&](std::istream& in) {
        tool::requireSignature(in, key);
        return std::string("verified");
    };
    EXPECT_EQ(outcomeOf(data, check), "verified");
    for (std::size_t fault = 0; fault < data.size(); ++fault)
        ASSERT_EQ(outcomeOf(data, check, fault), "!error reading factory data") << fault;
}

} // namespace
} // namespace tzo::factoryinfo::test
