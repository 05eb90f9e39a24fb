// Fuzzes the reading functions on arbitrary data: line reading, section search and the two
// ways of extracting a section, for a fuzzer-chosen name and the names the library itself uses.
#include <tzo/factoryinfo.hpp>

#include "fuzz_support.hpp"
#include "test_support.hpp"

#include <sstream>

namespace tzo::factoryinfo::fuzz {
namespace {

// Checks that getLine hands back `data` line by line, exactly, up to the first line
// "EndOfData" or the physical end, and reports the end through eof only there.
void checkLines(const std::string& data) {
    std::istringstream in(data);
    std::string line;
    std::string::size_type position = 0;
    while (getLine(in, line)) {
        require(data.compare(position, line.size(), line) == 0, "line differs from the data");
        position += line.size();
        const bool physicalEnd = position == data.size();
        require(physicalEnd || data[position] == '\n', "line not ended by LF");
        position += physicalEnd ? 0 : 1;
        require(line.find('\n') == std::string::npos, "LF inside a line");
        require(in.eof() == (physicalEnd || line == "EndOfData"), "eof at the wrong line");
    }
    require(in.eof() && !in.bad(), "lines stopped without reaching the end");
    require(line.empty() || line == "EndOfData" || position == data.size(),
            "a failed read changed the line");
}

// Checks that getSectionAsString and getSectionAsMap agree on section `name` of `data`, and
// that a properly ended section's text stands in the data between its markers.
void checkSection(const std::string& data, const std::string& name) {
    const std::string untouched = "\x01 caller's line";
    std::istringstream textStream(data);
    std::string textLastLine = untouched;
    const std::string text = getSectionAsString(textStream, name, textLastLine);

    std::istringstream mapStream(data);
    std::string mapLastLine = untouched;
    seekBeginOfSection(mapStream, name);
    const std::map<std::string, std::string> pairs = getSectionAsMap(mapStream, name, mapLastLine);

    require(textLastLine == mapLastLine, "the two readers stopped at different lines");
    require(textStream.eof() == mapStream.eof(), "the two readers disagree on the end");
    require(pairs == pairsOfLines(text), "the map differs from the pairs of the text");
    require(text.empty() || text.back() == '\n', "section text not ended by LF");

    const std::string endMarker = "EndOf" + name;
    if (textLastLine == endMarker) {
        const std::string framed = "BeginOf" + name + "\n" + text + endMarker;
        require(data.find(framed) != std::string::npos, "ended section text is not in the data");
    } else {
        require(textStream.eof(), "section stopped early without its end marker");
    }
}

// Checks that a stream buffer reading ahead `chunk` bytes at a time (none: unbuffered) gives
// the lines, flags and sections that std::getline and a stream over the whole data give:
// lines then run across the ends of what the buffer holds.
void checkChunked(const std::string& data, const std::string& name, std::size_t chunk) {
    test::ChunkedBuffer chunked(data, chunk);
    std::istream in(&chunked);
    std::istringstream reference(data);
    std::string line, referenceLine;
    do {
        getLine(in, line);
        test::referenceGetLine(reference, referenceLine);
        require(line == referenceLine, "a line read in chunks differs from std::getline's");
        require(in.rdstate() == reference.rdstate(), "flags differ from std::getline's");
    } while (!in.fail());

    std::istringstream whole(data);
    std::string lastLine, wholeLastLine;
    require(getSectionAsString(in, name, lastLine) ==
                    getSectionAsString(whole, name, wholeLastLine) &&
                lastLine == wholeLastLine && in.rdstate() == whole.rdstate(),
            "a section read in chunks differs from the one read whole");
}

} // namespace
} // namespace tzo::factoryinfo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace tzo::factoryinfo::fuzz;
    const Input input = splitInput(bytes, size);
    checkLines(input.data);
    for (const std::string& name : {input.name, std::string("Factoryinfo"), std::string("Checksum"),
                                    std::string("Data"), std::string()}) {
        checkSection(input.data, name);
    }
    checkChunked(input.data, input.name, input.name.size() % 6);
    return 0;
}
