// Fuzzes the reading functions on arbitrary data: line reading against std::getline, over a
// whole buffer and over one that reads ahead in chunks, and the two ways of extracting a
// section, for a fuzzer-chosen name and the names the library itself uses.
#include "fuzz_support.hpp"

namespace tzo::factoryinfo::fuzz {

// Checks that getLine on `in` gives the lines and stream flags that std::getline gives on
// `data`, the line "EndOfData" ending the data, up to and including the failing read.
void checkLines(std::istream& in, const std::string& data) {
    std::istringstream reference(data);
    std::string line, referenceLine;
    do {
        getLine(in, line);
        test::referenceGetLine(reference, referenceLine);
        require(line == referenceLine && in.rdstate() == reference.rdstate(),
                "getLine differs from std::getline at: " + referenceLine);
    } while (!in.fail());
}

// Checks that getSectionAsString on `in` gives section `name` as it does on a stream over the
// whole `data`, and that getSectionAsMap agrees: the pairs of the text, the same last line and
// the same end flag.
void checkSection(std::istream& in, const std::string& data, const std::string& name) {
    std::istringstream whole(data), mapStream(data);
    std::string lastLine = "\x01 caller's line", wholeLastLine = lastLine, mapLastLine = lastLine;
    const std::string text = getSectionAsString(in, name, lastLine);
    require(text == getSectionAsString(whole, name, wholeLastLine) && lastLine == wholeLastLine &&
                in.rdstate() == whole.rdstate(),
            "the section differs between the two streams");
    seekBeginOfSection(mapStream, name);
    require(getSectionAsMap(mapStream, name, mapLastLine) == pairsOfLines(text) &&
                mapLastLine == lastLine && mapStream.eof() == in.eof(),
            "getSectionAsMap and getSectionAsString disagree");
}

// Checks lines and sections of `data` read whole, for the names the library uses, and through a
// buffer that reads ahead 1 to 5 bytes at a time or keeps none (0), for `name`: lines then run
// across the ends of what the buffer holds.
void checkInput(const std::string& name, const std::string& data) {
    std::istringstream in(data);
    checkLines(in, data);
    for (const char* libraryName : {"Factoryinfo", "Checksum", "Data", ""})
        checkSection(in, data, libraryName);
    test::TestBuffer chunked(data, name.size() % 6);
    std::istream chunkedIn(&chunked);
    checkLines(chunkedIn, data);
    checkSection(chunkedIn, data, name);
}

} // namespace tzo::factoryinfo::fuzz
