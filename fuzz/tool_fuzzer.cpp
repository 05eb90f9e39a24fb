// Fuzzes the command-line tool in-process on a data file: the first line of the input is the
// command line (words split at blanks), the rest is the file's content. The file is a memfd,
// named to the tool as /proc/self/fd/N.
//
// Checked: the exit status is one of the documented ones; a failure writes only
// "tzo-factoryinfo: ..." lines to standard error (and the usage line after a usage error) and
// nothing to standard output; and dump and get print what the library gives.
#include "cli.hpp"
#include "fuzz_support.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <vector>

namespace tzo::factoryinfo::fuzz {

// Returns the path of a memfd that holds exactly `data`; the same memfd serves every input.
std::string dataFile(const std::string& data) {
    static const int fd = memfd_create("factory-data", 0);
    require(fd >= 0 && ftruncate(fd, 0) == 0 &&
                pwrite(fd, data.data(), data.size(), 0) == static_cast<ssize_t>(data.size()),
            "cannot write the data to a memfd");
    return "/proc/self/fd/" + std::to_string(fd);
}

// Returns the command line for the data file `file` and the words of `line`, split at blanks,
// without any that could be a file option (the tool reads the data file given here and nothing
// else) or a size for seal (which could ask for more memory than a fuzzer has). A word ends at
// its first NUL, as it would in argv.
std::vector<std::string> commandLine(const std::string& file, const std::string& line) {
    std::vector<std::string> words = {"tzo-factoryinfo", "--file", file};
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        word.erase(std::min(word.find('\0'), word.size()));
        if (word[0] != '-' || (word.find('f') == std::string::npos && word.find("si") != 2))
            words.push_back(word);
    }
    return words;
}

// Checks the exit status and, after a failure, that standard error holds only the tool's
// messages (the last line the usage line after a usage error) and standard output nothing.
void checkStreams(int status, const std::string& out, const std::string& err) {
    require(status >= 0 && status <= 4, "undocumented exit status " + std::to_string(status));
    require(status == 0 ? err.empty() : status > 2 || !err.empty(), "status and message differ");
    require(err.empty() || (out.empty() && err.back() == '\n'), "output or no LF on failure");
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        const bool usage = status == 2 && in.peek() == EOF;
        require(line.rfind(usage ? "usage: " : "tzo-factoryinfo: ", 0) == 0, "stray: " + line);
    }
}

// Runs the tool with the command line `name` on a file holding `data` and checks its exit
// status and streams, and that a successful "get KEY" or "dump NAME" printed what the library
// gives (so the library succeeded too).
void checkInput(const std::string& name, const std::string& data) {
    std::vector<std::string> words = commandLine(dataFile(data), name);
    std::vector<char*> argv(words.size() + 1, nullptr);
    std::transform(words.begin(), words.end(), argv.begin(),
                   [](auto& word) { return word.data(); });
    std::istringstream standardInput;
    std::ostringstream out, err;
    const int status = tool::run(int(words.size()), argv.data(), standardInput, out, err);
    checkStreams(status, out.str(), err.str());
    // getopt takes a word with a leading "-" anywhere as an option, as "get -h" asks for help.
    if (status != 0 || words.size() != 5 || (words[3] != "get" && words[3] != "dump") ||
        words[4][0] == '-')
        return;
    std::istringstream in(data);
    require(out.str() == outcomeOf([&] {
                return words[3] == "dump" ? Section(in, words[4]).dump()
                                          : FactoryInfo(in)[words[4]] + "\n";
            }),
            "output differs from the library");
}

} // namespace tzo::factoryinfo::fuzz
