// Runs the tool on the factory data that takes it the most memory for its size: as many pairs as
// fit, each key as short as keys can be while they differ and every output takes them (letters,
// digits, _), each value empty. For each command, the peak memory of the process (getrusage's
// maxrss, through wait4), less that of a run on a few bytes, must stay within LIMIT times the
// data's size.
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

// Writes to `path` a Factoryinfo section of `size` bytes at most, holding the keys "", "0", "1",
// ... "z", "00", "01"... each with an empty value.
void writeShortestPairs(const std::string& path, std::size_t size) {
    const std::string digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
    const std::string head = "BeginOfFactoryinfo\n";
    const std::string tail = "EndOfFactoryinfo\n";
    std::string data = head;
    std::vector<std::size_t> key; // the digits of the next key
    while (data.size() + key.size() + 2 + tail.size() <= size) {
        for (const std::size_t digit : key) {
            data += digits[digit];
        }
        data += "=\n";
        std::size_t at = key.size();
        while (at > 0 && ++key[at - 1] == digits.size()) {
            key[--at] = 0;
        }
        if (at == 0) {
            key.insert(key.begin(), 0); // every key of this length is taken
        }
    }
    std::ofstream(path, std::ios_base::binary) << data << tail;
}

// Runs `command` with its standard output discarded. Returns its peak memory in KiB, or -1 when
// it did not exit with status 0.
long peakKibibytes(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child == -1 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: tool_memory_test BYTES LIMIT SCRATCH-DIR TOOL-COMMAND...\n");
        return 2;
    }
    const std::size_t size = std::strtoul(argv[1], nullptr, 10);
    const double limit = std::strtod(argv[2], nullptr);
    const std::string scratch = argv[3];
    const std::vector<std::string> tool(argv + 4, argv + argc);
    const std::string pairs = scratch + "/shortest-pairs.txt";
    const std::string few = scratch + "/few-bytes.txt";
    writeShortestPairs(pairs, size);
    writeShortestPairs(few, 64);

    const auto run = [&](const std::string& file, const std::vector<std::string>& words) {
        std::vector<std::string> command = tool;
        command.insert(command.end(), {"--file", file});
        command.insert(command.end(), words.begin(), words.end());
        return peakKibibytes(command);
    };
    const long base = run(few, {"get", "0"});
    int failures = base < 0 ? 1 : 0;
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"get", "0"}, {"list"}, {"--shell", "list"}, {"--json", "list"}}) {
        const long peak = run(pairs, words);
        std::string label;
        for (const std::string& word : words) {
            label += (label.empty() ? "" : " ") + word;
        }
        const double multiple = static_cast<double>(peak - base) * 1024 / static_cast<double>(size);
        const bool ok = base >= 0 && peak >= 0 && multiple <= limit;
        failures += ok ? 0 : 1;
        std::printf("%s %-12s %ld KiB peak, %ld KiB for the few bytes: %.1f times the data\n",
                    ok ? "ok  " : "FAIL", label.c_str(), peak, base, multiple);
    }
    return failures == 0 ? 0 : 1;
}
