// Factory data read once: a stream that reads its source forward and keeps what it has read, so
// that the rewinds of the section searches are served from memory.
#ifndef TZO_FACTORYINFO_READ_ONCE_HPP
#define TZO_FACTORYINFO_READ_ONCE_HPP

#include "error.hpp"
#include "read_error.hpp"
#include "source.hpp"

#include <algorithm>
#include <cstddef>
#include <istream>
#include <memory>
#include <stdexcept>
#include <streambuf>

namespace tzo::factoryinfo::detail {

// The bytes kept in one block of a ReadOnceBuffer: 1 MiB of data takes 16 blocks, and few lines
// straddle two.
inline constexpr std::size_t kReadOnceBlockSize = 64 * 1024;

// A stream buffer over everything read so far of a Source, kept in blocks that never move: the
// data grows without being copied again. The get area is the part of one block that holds data,
// so any position read so far can be sought; when a reader needs more, the source is read once
// more, kSourceReadSize bytes at the most, into the last block or a new one. A failure is thrown
// as the exception of the source (ReadError) or as std::invalid_argument "factory data exceeds
// 16 MiB", and thrown again on every later read, so that a stream sets bad.
class ReadOnceBuffer : public std::streambuf {
public:
    // Reads `source`, which must outlive this object.
    explicit ReadOnceBuffer(Source& source) : m_source(source) {}

protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        if (m_failedCode != TZO_FI_OK) {
            throwFailure();
        }
        if (position() < m_size) {
            showBlock(m_block + 1, 0); // the end of a full block, with more read after it
        } else if (!readMore()) {
            return traits_type::eof();
        }
        return traits_type::to_int_type(*gptr());
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override {
        if (direction == std::ios_base::cur) {
            offset += static_cast<off_type>(position());
        } else if (direction != std::ios_base::beg) {
            return pos_type(off_type(-1));
        }
        return seekpos(pos_type(offset), which);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
        const off_type offset = position;
        if ((which & std::ios_base::in) == 0 || offset < 0 ||
            static_cast<std::size_t>(offset) > m_size) {
            return pos_type(off_type(-1));
        }
        if (m_size > 0) {
            // The end of the data on a block boundary is the end of the block before it.
            const std::size_t block =
                std::min(static_cast<std::size_t>(offset), m_size - 1) / kReadOnceBlockSize;
            showBlock(block, static_cast<std::size_t>(offset) - block * kReadOnceBlockSize);
        }
        return position;
    }

private:
    // Returns the position of the next character that the buffer hands out.
    std::size_t position() const {
        return m_block * kReadOnceBlockSize + static_cast<std::size_t>(gptr() - eback());
    }

    // Makes the data of block `block` the get area, the next character at `offset` in it.
    void showBlock(std::size_t block, std::size_t offset) {
        char* data = m_blocks[block]->bytes;
        m_block = block;
        setg(data, data + offset,
             data + std::min(kReadOnceBlockSize, m_size - block * kReadOnceBlockSize));
    }

    // Appends what one read of the source gives to the last block, or a new one, and makes it
    // the get area.
    // Returns false at the end of the source. Throws, and keeps for every later read, the
    // source's failure, or std::invalid_argument "factory data exceeds 16 MiB" when the source
    // has more than that.
    bool readMore() {
        // The end, once seen, stays: a pass must not find more data than an earlier one.
        if (m_ended) {
            return false;
        }
        const std::size_t block = m_size / kReadOnceBlockSize;
        const std::size_t start = m_size % kReadOnceBlockSize;
        std::size_t count = 0;
        if (m_size == kMaxDataSize) {
            char next;
            if (readSource(&next, 1) != 0) {
                m_failedCode = TZO_FI_TOO_MUCH_DATA;
                throwFailure();
            }
        } else {
            if (start == 0) {
                m_blocks[block].reset(new Block);
            }
            count = readSource(m_blocks[block]->bytes + start,
                               std::min(kSourceReadSize, kReadOnceBlockSize - start));
        }
        if (count == 0) {
            m_ended = true;
            return false;
        }
        m_size += count;
        showBlock(block, start);
        return true;
    }

    // Reads up to `count` bytes of the source into `into`.
    // Returns how many were read. Throws the source's ReadError, and keeps it for every later
    // read.
    std::size_t readSource(char* into, std::size_t count) {
        try {
            return m_source.read(into, count);
        } catch (const ReadError& error) {
            m_failedCode = TZO_FI_READ_FAILED;
            m_failedErrorNumber = error.errorNumber();
            throw;
        }
    }

    // Throws again the failure that ended the reading: the source's ReadError, which always
    // carries kReadErrorMessage, or the data's excess.
    [[noreturn]] void throwFailure() const {
        if (m_failedCode == TZO_FI_READ_FAILED) {
            failRead(m_failedErrorNumber);
        }
        fail(m_failedCode);
    }

    // The bytes of one block, uninitialised until read.
    struct Block {
        char bytes[kReadOnceBlockSize];
    };

    Source& m_source;
    std::unique_ptr<Block> m_blocks[kMaxDataSize / kReadOnceBlockSize]; // all full but the last
    std::size_t m_size = 0;                                             // the bytes read so far
    std::size_t m_block = 0;                                            // the block of the get area
    bool m_ended = false;                                               // the source has ended
    int m_failedCode = TZO_FI_OK; // the failure thrown by every later read
    int m_failedErrorNumber = 0;  // its cause, for a read error
};

// The data of a Source, read once through a ReadOnceBuffer, as an input stream. Bad is in the
// stream's exception mask, so that a failed read leaves every reading function, with bad set,
// as the exception that the buffer threw.
class ReadOnceStream {
public:
    // Reads `source`, which must outlive this object.
    explicit ReadOnceStream(Source& source) : m_buffer(source), m_stream(&m_buffer) {
        m_stream.exceptions(std::ios_base::badbit);
    }

    // Returns the stream over the data.
    std::istream& stream() { return m_stream; }

private:
    ReadOnceBuffer m_buffer;
    std::istream m_stream;
};

} // namespace tzo::factoryinfo::detail

#endif // TZO_FACTORYINFO_READ_ONCE_HPP
