// Lines, sections and key/value pairs as the factory data defines them.
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <streambuf>

namespace tzo::factoryinfo {
namespace {

// Returns every line that `read` gives from `in`, each with the stream's flags after it, up to
// and including the first failed read or a thrown exception: "line|eof|fail" for instance.
template <typename Read>
std::string linesOf(std::istream& in, Read read) {
    std::string line = "unread", lines;
    do {
        try {
            read(in, line);
        } catch (const std::exception& error) {
            lines += std::string("threw ") + error.what() + "|";
        }
        lines += line + (in.eof() ? "|eof" : "") + (in.fail() ? "|fail" : "") +
                 (in.bad() ? "|bad" : "") + "\n";
    } while (!in.fail());
    return lines;
}

// Returns every line that getLine gives for `data`, as linesOf does.
std::string linesOf(const std::string& data) {
    std::istringstream in(data);
    return linesOf(in, getLine);
}

TEST(GetLine, ReadsLinesAndStopsAtTheDataEndLine) {
    const struct {
        const char* input;
        std::string data;
        std::string lines;
    } cases[] = {
        {"plain lines", "a\nb\n", "a\nb\n|eof|fail\n"},
        {"empty data", "", "|eof|fail\n"},
        {"last line without LF", "a\nb", "a\nb|eof\nb|eof|fail\n"},
        {"CR and blanks kept", " a \r\n", " a \r\n|eof|fail\n"},
        {"data end line", "EndOfData\nafter\n", "EndOfData|eof\nEndOfData|eof|fail\n"},
        {"not the data end line", "EndOfData \nEndOfData\r\nendofdata\n",
         "EndOfData \nEndOfData\r\nendofdata\n|eof|fail\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(linesOf(c.data), c.lines) << c.input;
    }
}

TEST(GetLine, MatchesStdGetlineOnAnyStreamBufferAndOnReadFaults) {
    const std::string inputs[] = {
        "a\nb\n",
        "",
        "a\nb",
        "\n\nEndOfData",
        "EndOfData\nafter\n",
        "EndOfData\r\nx",
        std::string(100, 'x') + "\nEndOfData\n",
    };
    for (const std::string& data : inputs) {
        for (const std::size_t chunk : {0, 1, 3, 64}) {
            test::TestBuffer ours(data, chunk), reference(data, chunk);
            std::istream in(&ours), referenceIn(&reference);
            EXPECT_EQ(linesOf(in, getLine), linesOf(referenceIn, test::referenceGetLine))
                << data << " read " << chunk << " at a time";
        }
        // A fault at the start, inside the first line and after it; with and without exceptions.
        for (const std::size_t fault : {0, 2, 5}) {
            for (const auto exceptions : {std::ios_base::goodbit, std::ios_base::badbit}) {
                test::TestBuffer ours(data, test::kWhole, fault),
                    reference(data, test::kWhole, fault);
                std::istream in(&ours), referenceIn(&reference);
                in.exceptions(exceptions);
                referenceIn.exceptions(exceptions);
                EXPECT_EQ(linesOf(in, getLine), linesOf(referenceIn, test::referenceGetLine))
                    << data << " failing at " << fault;
            }
        }
    }
}

TEST(GetSectionAsString, ReturnsTheBodyWithOneLfPerLine) {
    const struct {
        const char* input;
        std::string data;
        std::string name;
        std::string textAndLastLine;
    } cases[] = {
        {"ended section", "x\nBeginOfA\none\ntwo\nEndOfA\ny\n", "A", "one\ntwo\n|EndOfA"},
        {"CR LF kept", "BeginOfA\r\none\r\nEndOfA\r\n", "A\r", "one\r\n|EndOfA\r"},
        {"empty body", "BeginOfA\nEndOfA\n", "A", "|EndOfA"},
        {"missing section", "BeginOfB\nEndOfB\nBeginOfA", "A", "|caller's"},
        {"section after the data end line", "EndOfData\nBeginOfA\none\nEndOfA\n", "A", "|caller's"},
        {"cut by the physical end", "BeginOfA\none", "A", "one\n|one"},
        {"cut after a full line", "BeginOfA\none\n", "A", "one\n|"},
        {"cut by the data end line", "BeginOfA\none\nEndOfData\nEndOfA\n", "A",
         "one\nEndOfData\n|EndOfData"},
        {"section Data ends at the data end line", "BeginOfData\none\nEndOfData\n", "Data",
         "one\n|EndOfData"},
        {"marker lookalikes are body lines", "BeginOfA\nBeginOfA\nEndOfB\nEndOfA \nEndOfA\n", "A",
         "BeginOfA\nEndOfB\nEndOfA \n|EndOfA"},
        {"first of two sections", "BeginOfA\n1\nEndOfA\nBeginOfA\n2\nEndOfA\n", "A", "1\n|EndOfA"},
        {"begin marker inside another body", "BeginOfB\nBeginOfA\nb\nEndOfB\na\nEndOfA\n", "A",
         "b\nEndOfB\na\n|EndOfA"},
        {"empty name", "BeginOf\nx\nEndOf\n", "", "x\n|EndOf"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.data);
        in.setstate(std::ios_base::eofbit | std::ios_base::failbit); // a search clears them
        std::string lastLine = "caller's";
        const std::string text = getSectionAsString(in, c.name, lastLine);
        EXPECT_EQ(text + "|" + lastLine, c.textAndLastLine) << c.input;
    }
}

TEST(GetSectionAsMap, SplitsEachLineAtTheFirstEqualsSign) {
    std::istringstream in("BeginOfA\nkey=value\n=empty key\nempty value=\nurl=http://x/?a=1\n"
                          " padded = blanks \nno separator\n\nkey=second value\nKey=other case\n"
                          "EndOfB=inner\nEndOfData\nafter=end\n");
    const std::map<std::string, std::string> expected = {
        {"", "empty key"},        {" padded ", " blanks "}, {"EndOfB", "inner"},
        {"Key", "other case"},    {"empty value", ""},      {"key", "value"},
        {"url", "http://x/?a=1"},
    };
    std::string lastLine = "caller's";
    seekBeginOfSection(in, "A");
    EXPECT_EQ(getSectionAsMap(in, "A", lastLine), expected);
    EXPECT_EQ(lastLine, "EndOfData");

    // A stream that can no longer be read gives no pairs and leaves lastLine alone.
    lastLine = "caller's";
    EXPECT_TRUE(getSectionAsMap(in, "A", lastLine).empty());
    EXPECT_EQ(lastLine, "caller's");
}

} // namespace
} // namespace tzo::factoryinfo
