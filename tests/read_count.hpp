// What a thread has read through read(2), as the kernel counts it in /proc/thread-self/io.
#ifndef TZO_FACTORYINFO_READ_COUNT_HPP
#define TZO_FACTORYINFO_READ_COUNT_HPP

#include <fstream>
#include <optional>
#include <string>

namespace tzo::factoryinfo::test {

// Bytes returned by read(2) and the number of read(2) calls.
struct ReadCount {
    long long bytes = 0;
    long long calls = 0;
};

// Returns the calling thread's counts so far, or nothing when the kernel keeps none.
inline std::optional<ReadCount> readSoFar() {
    std::ifstream io("/proc/thread-self/io");
    ReadCount count;
    std::string field;
    while (io >> field) {
        if (field == "rchar:")
            io >> count.bytes;
        else if (field == "syscr:")
            io >> count.calls;
    }
    return count.calls > 0 ? std::optional<ReadCount>(count) : std::nullopt;
}

// Returns what `read()` reads through read(2) in the calling thread, without the reads of
// the count itself (those between two counts with nothing between), or nothing when the kernel
// keeps no count.
template <typename Read>
std::optional<ReadCount> readCountOf(Read read) {
    const std::optional<ReadCount> start = readSoFar(), before = readSoFar();
    read();
    const std::optional<ReadCount> after = readSoFar();
    if (!after)
        return std::nullopt; // nor any other count, then
    return ReadCount{after->bytes - 2 * before->bytes + start->bytes,
                     after->calls - 2 * before->calls + start->calls};
}

} // namespace tzo::factoryinfo::test

#endif // TZO_FACTORYINFO_READ_COUNT_HPP
