// Lines, sections and key/value pairs as the factory data defines them.
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <sstream>
#include <vector>

namespace tzo::factoryinfo {
namespace {

// Returns the stream's flags as words, "good" when none is set.
std::string flagsOf(const std::istream& in) {
    std::string words;
    if (in.eof())
        words += "eof ";
    if (in.fail() && !in.bad())
        words += "fail ";
    if (in.bad())
        words += "bad ";
    return words.empty() ? "good" : words.substr(0, words.size() - 1);
}

struct ReadStep {
    std::string line;
    std::string flags;
};

TEST(GetLine, ReadsLinesAndStopsAtTheDataEndLine) {
    const struct {
        const char* fault;
        std::string data;
        std::vector<ReadStep> steps;
    } cases[] = {
        {"plain lines", "a\nb\n", {{"a", "good"}, {"b", "good"}, {"", "eof fail"}}},
        {"last line without LF", "a\nb", {{"a", "good"}, {"b", "eof"}, {"b", "eof fail"}}},
        {"empty data", "", {{"", "eof fail"}}},
        {"CR and blanks kept", " a \r\n", {{" a \r", "good"}}},
        {"data end line", "EndOfData\nafter\n", {{"EndOfData", "eof"}, {"EndOfData", "eof fail"}}},
        {"data end line without LF", "EndOfData", {{"EndOfData", "eof"}}},
        {"data end line with blank", "EndOfData \nx\n", {{"EndOfData ", "good"}, {"x", "good"}}},
        {"data end line with CR", "EndOfData\r\nx\n", {{"EndOfData\r", "good"}, {"x", "good"}}},
        {"data end line in lower case", "endofdata\nx\n", {{"endofdata", "good"}, {"x", "good"}}},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.data);
        std::string line = "before";
        for (const auto& step : c.steps) {
            getLine(in, line);
            EXPECT_EQ(line, step.line) << c.fault;
            EXPECT_EQ(flagsOf(in), step.flags) << c.fault << ", line \"" << step.line << "\"";
        }
    }
}

TEST(SeekBeginOfSection, FindsTheFirstBeginMarkerFromTheStart) {
    // Found: the stream is not at eof and the next line is the first body line.
    const struct {
        const char* fault;
        std::string data;
        std::string flags;
        std::string nextLine;
    } cases[] = {
        {"marker", "x\nBeginOfA\nbody\n", "good", "body"},
        {"marker twice", "BeginOfA\nfirst\nBeginOfA\nsecond\n", "good", "first"},
        {"marker inside another body", "BeginOfB\nBeginOfA\ninner\nEndOfB\n", "good", "inner"},
        {"no marker", "BeginOfAB\n BeginOfA\nBeginOfa\n", "eof fail", ""},
        {"marker with CR", "BeginOfA\r\nbody\n", "eof fail", ""},
        {"marker after the data end line", "EndOfData\nBeginOfA\nbody\n", "eof fail", ""},
        {"marker as last line without LF", "x\nBeginOfA", "eof", ""},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.data);
        in.setstate(std::ios_base::eofbit | std::ios_base::failbit); // a search clears them
        seekBeginOfSection(in, "A");
        EXPECT_EQ(flagsOf(in), c.flags) << c.fault;
        if (!in.eof()) {
            std::string line;
            getLine(in, line);
            EXPECT_EQ(line, c.nextLine) << c.fault;
        }
    }
}

TEST(GetSectionAsString, ReturnsTheBodyWithOneLfPerLine) {
    const struct {
        const char* fault;
        std::string data;
        std::string name;
        std::string text;
        std::string lastLine;
    } cases[] = {
        {"ended section", "x\nBeginOfA\none\ntwo\nEndOfA\ny\n", "A", "one\ntwo\n", "EndOfA"},
        {"CR LF kept", "BeginOfA\r\none\r\nEndOfA\r\n", "A\r", "one\r\n", "EndOfA\r"},
        {"empty body", "BeginOfA\nEndOfA\n", "A", "", "EndOfA"},
        {"end marker without LF", "BeginOfA\none\nEndOfA", "A", "one\n", "EndOfA"},
        {"missing section", "BeginOfB\nEndOfB\n", "A", "", "caller's"},
        {"cut by the physical end", "BeginOfA\none", "A", "one\n", "one"},
        {"cut after a full line", "BeginOfA\none\n", "A", "one\n", ""},
        {"cut by the data end line", "BeginOfA\none\nEndOfData\nEndOfA\n", "A", "one\nEndOfData\n",
         "EndOfData"},
        {"section Data ends at the data end line", "BeginOfData\none\nEndOfData\n", "Data", "one\n",
         "EndOfData"},
        {"marker lookalikes are body lines", "BeginOfA\nBeginOfA\nEndOfB\nEndOfA \nEndOfA\n", "A",
         "BeginOfA\nEndOfB\nEndOfA \n", "EndOfA"},
        {"first of two sections", "BeginOfA\n1\nEndOfA\nBeginOfA\n2\nEndOfA\n", "A", "1\n",
         "EndOfA"},
        {"begin marker inside another body", "BeginOfB\nBeginOfA\nb\nEndOfB\na\nEndOfA\n", "A",
         "b\nEndOfB\na\n", "EndOfA"},
        {"empty name", "BeginOf\nx\nEndOf\n", "", "x\n", "EndOf"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.data);
        std::string lastLine = "caller's";
        EXPECT_EQ(getSectionAsString(in, c.name, lastLine), c.text) << c.fault;
        EXPECT_EQ(lastLine, c.lastLine) << c.fault;
    }
}

TEST(GetSectionAsMap, SplitsEachLineAtTheFirstEqualsSign) {
    std::istringstream in("BeginOfA\n"
                          "key=value\n"
                          "=empty key\n"
                          "empty value=\n"
                          "url=http://x/?a=1\n"
                          " padded = blanks \n"
                          "no separator\n"
                          "\n"
                          "key=second value\n"
                          "Key=other case\n"
                          "EndOfB=inner\n"
                          "EndOfA\n"
                          "after=end\n");
    const std::map<std::string, std::string> expected = {
        {"", "empty key"},        {" padded ", " blanks "}, {"EndOfB", "inner"},
        {"Key", "other case"},    {"empty value", ""},      {"key", "value"},
        {"url", "http://x/?a=1"},
    };
    std::string lastLine;
    seekBeginOfSection(in, "A");
    EXPECT_EQ(getSectionAsMap(in, "A", lastLine), expected);
    EXPECT_EQ(lastLine, "EndOfA");
    EXPECT_FALSE(in.eof());
}

TEST(GetSectionAsMap, OrdersKeysByUnsignedBytes) {
    std::istringstream in("BeginOfA\n\xc3\xa9=high\nz=low\nab=long\na=short\nEndOfA\n");
    std::string lastLine;
    seekBeginOfSection(in, "A");
    const auto entries = getSectionAsMap(in, "A", lastLine);
    std::vector<std::string> keys;
    for (const auto& entry : entries)
        keys.push_back(entry.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "ab", "z", "\xc3\xa9"}));
}

TEST(GetSectionAsMap, IgnoresTheDataEndLineButStopsThere) {
    std::istringstream in("BeginOfA\na=1\nEndOfData\nb=2\nEndOfA\n");
    std::string lastLine;
    seekBeginOfSection(in, "A");
    EXPECT_EQ(getSectionAsMap(in, "A", lastLine), (std::map<std::string, std::string>{{"a", "1"}}));
    EXPECT_EQ(lastLine, "EndOfData");
    EXPECT_TRUE(in.eof());
}

TEST(GetSectionAsMap, LeavesLastLineAloneWhenNothingCanBeRead) {
    std::istringstream in("BeginOfB\nb=2\nEndOfB\n");
    std::string lastLine = "caller's";
    seekBeginOfSection(in, "A");
    EXPECT_TRUE(getSectionAsMap(in, "A", lastLine).empty());
    EXPECT_EQ(lastLine, "caller's");
}

} // namespace
} // namespace tzo::factoryinfo
