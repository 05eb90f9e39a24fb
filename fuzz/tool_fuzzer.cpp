// Fuzzes the command-line tool in-process on a data file: the first line of the input is the
// command line (words split at blanks), the rest is the file's content. The file is a memfd,
// named to the tool as /proc/self/fd/N.
//
// Checked: the exit status is one of the documented ones; a failure writes only
// "tzo-factoryinfo: ..." lines to standard error (and the usage line after a usage error) and
// nothing to standard output; and dump and get print what the library gives.
#include "cli.hpp"

#include <tzo/factoryinfo.hpp>

#include "fuzz_support.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace tzo::factoryinfo::fuzz {
namespace {

// Returns the path of a memfd that holds exactly `data`; the same memfd serves every input.
std::string dataFile(const std::string& data) {
    static const int fd = memfd_create("factory-data", 0);
    require(fd >= 0, "memfd_create failed");
    require(ftruncate(fd, 0) == 0, "ftruncate failed");
    require(pwrite(fd, data.data(), data.size(), 0) == static_cast<ssize_t>(data.size()),
            "pwrite failed");
    return "/proc/self/fd/" + std::to_string(fd);
}

// Returns the words of `line`, split at blanks, without any that could be a file option: the
// tool reads the data file given here and nothing else. A word ends at its first NUL, as it
// would in argv.
std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        word.erase(std::min(word.find('\0'), word.size()));
        if (word[0] != '-' || word.find('f') == std::string::npos) {
            words.push_back(word);
        }
    }
    return words;
}

// Returns the lines of `text`, each without its LF.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Checks the tool's output discipline for one run.
void checkStreams(int status, const std::string& out, const std::string& err) {
    require(status >= 0 && status <= 4, "undocumented exit status " + std::to_string(status));
    require(status != 0 || err.empty(), "success with a message");
    require(status != 1 || !err.empty(), "data error without a message");
    if (err.empty()) {
        return;
    }
    require(out.empty(), "output written although the command failed");
    require(err.back() == '\n', "message not ended by LF");
    std::vector<std::string> lines = linesOf(err);
    if (status == 2) {
        require(lines.back().rfind("usage: ", 0) == 0, "usage error without the usage line");
        lines.pop_back();
    }
    for (const std::string& line : lines) {
        require(line.rfind("tzo-factoryinfo: ", 0) == 0, "message without the tool's name");
    }
}

// Returns "get" or "dump" output that the library gives for `words` on `data`, or "" when the
// library fails or the command is neither of the simple ones.
std::string libraryOutput(const std::vector<std::string>& words, const std::string& data) {
    if (words.size() != 2 || (words[0] != "get" && words[0] != "dump")) {
        return "";
    }
    std::istringstream in(data);
    try {
        return words[0] == "dump" ? Section(in, words[1]).dump() : FactoryInfo(in)[words[1]] + "\n";
    } catch (const std::invalid_argument&) {
        return "";
    }
}

} // namespace
} // namespace tzo::factoryinfo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace tzo::factoryinfo::fuzz;
    const Input input = splitInput(bytes, size);
    std::vector<std::string> words = {"tzo-factoryinfo", "--file", dataFile(input.data)};
    const std::vector<std::string> command = wordsOf(input.name);
    words.insert(words.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    std::istringstream standardInput;
    std::ostringstream out, err;
    int status = -1;
    try {
        status = tzo::factoryinfo::tool::run(static_cast<int>(words.size()), argv.data(),
                                             standardInput, out, err);
    } catch (...) {
        fail("an exception left the tool");
    }
    checkStreams(status, out.str(), err.str());
    if (status == 0 && !libraryOutput(command, input.data).empty()) {
        require(out.str() == libraryOutput(command, input.data), "output differs from the library");
    }
    return 0;
}
