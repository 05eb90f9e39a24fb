// JSON and shell output of factory data, whose keys and values are arbitrary bytes.
#include "formats.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tzo::factoryinfo::tool {
namespace {

struct Case {
    const char* name;
    std::string in;
    std::string expected;
};

TEST(JsonString, EscapesAndKeepsOnlyWellFormedUtf8) {
    const Case cases[] = {
        {"plain", "GW4-000123", R"("GW4-000123")"},
        {"quote and backslash", R"(a"b\c)", R"("a\"b\\c")"},
        {"short escapes", "\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {"other control bytes", std::string("\x00\x01\x1f\x7f", 4),
         "\"\\u0000\\u0001\\u001f\x7f\""},
        {"two to four byte sequences", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
         "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},
        {"latin-1 byte", "caf\xe9", R"("caf\ufffd")"},
        {"stray continuation byte", "\x80x", R"("\ufffdx")"},
        {"overlong slash", "\xc0\xaf", R"("\ufffd\ufffd")"},
        {"overlong three bytes", "\xe0\x80\xaf", R"("\ufffd\ufffd\ufffd")"},
        {"surrogate", "\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")"},
        {"above U+10FFFF", "\xf4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},
        {"cut short at the end", "\xe2\x82", R"("\ufffd\ufffd")"},
        {"cut short by ASCII", "\xe2\x82x", R"("\ufffd\ufffdx")"},
        {"never a lead byte", "\xf8\xff", R"("\ufffd\ufffd")"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jsonString(c.in), c.expected) << c.name;
    }
}

TEST(JsonObject, KeepsTheOrderGivenAndWritesAbsentValuesAsNull) {
    const std::string serial = "GW4";
    EXPECT_EQ(jsonObject({{"Serial", &serial}, {"Colour", nullptr}, {"Serial", &serial}}),
              "{\"Serial\":\"GW4\",\"Colour\":null}\n");
    EXPECT_EQ(jsonObject({}), "{}\n");
    EXPECT_THROW(jsonObject({{"k\xff", &serial}, {"k\xfe", nullptr}}), std::invalid_argument);
}

TEST(ShellName, PrefixesEveryKeyIntoAValidName) {
    const Case cases[] = {
        {"valid name", "Mac_2", "factory_Mac_2"},
        {"a name the shell uses", "PATH", "factory_PATH"},
        {"dash and dot", "wifi-mac.0", "factory_wifi_mac_0"},
        {"leading digit", "2ghz", "factory_2ghz"},
        {"empty key", "", "factory_"},
        {"non-ASCII bytes", "Caf\xc3\xa9", "factory_Caf__"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shellName("factory_", c.in), c.expected) << c.name;
    }
}

TEST(ShellAssignments, QuotesValuesAndRefusesNamesThatCollide) {
    EXPECT_EQ(shellAssignments("p_", {{"Note", "it's $HOME `x`"}, {"Empty", ""}}),
              "p_Empty=''\np_Note='it'\\''s $HOME `x`'\n");
    EXPECT_THROW(shellAssignments("p_", {{"wifi-mac", "a"}, {"wifi_mac", "b"}}),
                 std::invalid_argument);
}

} // namespace
} // namespace tzo::factoryinfo::tool
