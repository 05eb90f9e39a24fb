// Runs the tool on the factory data that takes it the most memory for its size: as many pairs as
// fit, each key as short as keys can be while they differ and the command takes them, each value
// empty. For each command, the peak memory of the process (getrusage's maxrss, through wait4),
// less that of a run on a few bytes, must stay within LIMIT times the data's size. A C++
// program, small itself: a child's peak counts the memory of its parent.
//
//   tool_memory_test BYTES LIMIT SCRATCH-DIR TOOL-COMMAND...
//
// TOOL-COMMAND may start with an emulator, for a cross-built tool.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Writes to `path` a Factoryinfo section of `size` bytes at most, holding the shortest keys of
// the bytes of `alphabet`, "" first, then each of one byte, then each of two..., each with an
// empty value.
void writeShortestPairs(const std::string& path, std::size_t size, const std::string& alphabet) {
    std::string data = "BeginOfFactoryinfo\n", key;
    const std::string tail = "EndOfFactoryinfo\n";
    while (data.size() + key.size() + 2 + tail.size() <= size) {
        data += key + "=\n";
        std::size_t at = key.size(); // the next key: the last byte that can grow grows
        while (at > 0 && key[at - 1] == alphabet.back())
            key[--at] = alphabet.front();
        if (at == 0)
            key.insert(key.begin(), alphabet.front()); // every key of this length is taken
        else
            key[at - 1] = alphabet[alphabet.find(key[at - 1]) + 1];
    }
    std::ofstream(path, std::ios_base::binary) << data << tail;
}

// Returns the peak memory in KiB of `command` run with its standard output discarded, or -1 when
// it did not exit with status 0.
long peakKibibytes(std::vector<std::string> command) {
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    const bool ran = child != -1 && wait4(child, &status, 0, &usage) == child;
    return ran && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: tool_memory_test BYTES LIMIT SCRATCH-DIR TOOL-COMMAND...\n");
        return 2;
    }
    const std::size_t size = std::strtoul(argv[1], nullptr, 10);
    const double limit = std::strtod(argv[2], nullptr);
    const std::string few = std::string(argv[3]) + "/few-bytes.txt";
    writeShortestPairs(few, 64, "abc");
    const auto run = [&](const std::string& file, const std::vector<std::string>& words) {
        std::vector<std::string> command(argv + 4, argv + argc);
        command.insert(command.end(), {"--file", file});
        command.insert(command.end(), words.begin(), words.end());
        return peakKibibytes(command);
    };
    const long base = run(few, {"get", "a"});
    int failures = base < 0;
    // Keys of any byte but LF and "=" for get and list; names that a shell takes, and for JSON
    // the ASCII keys (other bytes would collide as U+FFFD), for the others.
    std::string ascii, anyByte;
    for (int c = 0; c < 256; ++c)
        if (c != '\n' && c != '=')
            (c < 128 ? ascii : anyByte) += static_cast<char>(c);
    anyByte = ascii + anyByte;
    const struct {
        std::vector<std::string> words;
        std::string alphabet;
    } runs[] = {
        {{"get", "a"}, anyByte},
        {{"list"}, anyByte},
        {{"--shell", "list"}, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz"},
        {{"--json", "list"}, ascii}};
    for (const auto& [words, alphabet] : runs) {
        const std::string pairs = std::string(argv[3]) + "/shortest-pairs.txt";
        writeShortestPairs(pairs, size, alphabet);
        const long peak = run(pairs, words);
        const double multiple = static_cast<double>(peak - base) * 1024 / static_cast<double>(size);
        const bool ok = base >= 0 && peak >= 0 && multiple <= limit;
        failures += !ok;
        std::printf("%s %-12s %ld KiB peak, %ld KiB for the few bytes: %.1f times the data\n",
                    ok ? "ok  " : "FAIL",
                    (words.front() + (words.size() > 1 ? " " + words.back() : "")).c_str(), peak,
                    base, multiple);
    }
    return failures == 0 ? 0 : 1;
}
