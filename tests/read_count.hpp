// What a thread has read through read(2), as the kernel counts it in /proc/thread-self/io.
#ifndef TZO_FACTORYINFO_READ_COUNT_HPP
#define TZO_FACTORYINFO_READ_COUNT_HPP

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

namespace tzo::factoryinfo::test {

// Bytes returned by read(2) and the number of read(2) calls.
struct ReadCount {
    long long bytes = 0;
    long long calls = 0;
};

// Returns the calling thread's counts so far, or nothing when the kernel keeps none. Sets
// *ownBytes, unless null, to the bytes that reading them took.
inline std::optional<ReadCount> readSoFar(long long* ownBytes = nullptr) {
    std::ifstream io("/proc/thread-self/io");
    const std::string text{std::istreambuf_iterator<char>(io), std::istreambuf_iterator<char>()};
    if (ownBytes != nullptr)
        *ownBytes = static_cast<long long>(text.size());
    std::istringstream fields(text);
    ReadCount count;
    std::string field;
    while (fields >> field) {
        if (field == "rchar:")
            fields >> count.bytes;
        else if (field == "syscr:")
            fields >> count.calls;
    }
    return count.calls > 0 ? std::optional<ReadCount>(count) : std::nullopt;
}

// Returns what `read()` reads through read(2) in the calling thread, without the reads of
// the count itself: its calls as counting twice with nothing between shows, its bytes as many
// as it read (not the same each time: a count that gains a digit makes the text longer).
// Returns nothing when the kernel keeps no count.
template <typename Read>
std::optional<ReadCount> readCountOf(Read read) {
    const std::optional<ReadCount> start = readSoFar();
    long long ownBytes = 0;
    const std::optional<ReadCount> before = readSoFar(&ownBytes);
    read();
    const std::optional<ReadCount> after = readSoFar();
    if (!start || !before || !after)
        return std::nullopt;
    const long long ownCalls = before->calls - start->calls;
    return ReadCount{after->bytes - before->bytes - ownBytes,
                     after->calls - before->calls - ownCalls};
}

} // namespace tzo::factoryinfo::test

#endif // TZO_FACTORYINFO_READ_COUNT_HPP
