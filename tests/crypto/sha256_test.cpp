#include <tzo/crypto.hpp>

#include <gtest/gtest.h>

#include <string>

namespace {

// Published SHA-256 test vectors.
TEST(CalculateSha256, MatchesKnownDigests) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.message.data());
        EXPECT_EQ(tzo::crypto::calculateSha256(bytes, static_cast<std::uint32_t>(c.message.size())),
                  c.digest)
            << "message of " << c.message.size() << " bytes";
    }
}

TEST(CalculateSha256, EmptyMessageNeedsNoData) {
    EXPECT_EQ(tzo::crypto::calculateSha256(nullptr, 0),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

} // namespace
