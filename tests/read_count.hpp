// What a thread has read through read(2), as the kernel counts it in /proc/thread-self/io.
#ifndef TZO_FACTORYINFO_READ_COUNT_HPP
#define TZO_FACTORYINFO_READ_COUNT_HPP

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

namespace tzo::factoryinfo::test {

// Bytes returned by read(2) and the number of read(2) calls.
struct ReadCount {
    long long bytes = 0;
    long long calls = 0;
};

// Returns what the calling thread has read so far, as /proc/thread-self/io shows it: without
// the read that fetches the text, which is stored in `fetch`. Returns nothing when the kernel
// does not keep the count.
inline std::optional<ReadCount> readSoFar(ReadCount& fetch) {
    const int fd = open("/proc/thread-self/io", O_RDONLY);
    if (fd < 0) {
        return std::nullopt;
    }
    char text[512];
    const ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    ReadCount count;
    if (length <= 0) {
        return std::nullopt;
    }
    text[length] = '\0';
    if (std::sscanf(text, "rchar: %lld wchar: %*s syscr: %lld", &count.bytes, &count.calls) != 2) {
        return std::nullopt;
    }
    fetch = ReadCount{length, 1};
    return count;
}

// Returns what `read()` reads through read(2) in the calling thread, or nothing when the kernel
// does not keep the count.
template <typename Read>
std::optional<ReadCount> readCountOf(Read read) {
    ReadCount fetch;
    const std::optional<ReadCount> before = readSoFar(fetch);
    read();
    ReadCount unused;
    const std::optional<ReadCount> after = readSoFar(unused);
    if (!before || !after) {
        return std::nullopt;
    }
    return ReadCount{after->bytes - before->bytes - fetch.bytes,
                     after->calls - before->calls - fetch.calls};
}

} // namespace tzo::factoryinfo::test

#endif // TZO_FACTORYINFO_READ_COUNT_HPP
