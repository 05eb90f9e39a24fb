// Helpers shared by the tests: sums computed without the library, streams that fail on
// purpose, and outcomes written as text so that one table can hold results and errors alike.
#ifndef TZO_FACTORYINFO_TEST_SUPPORT_HPP
#define TZO_FACTORYINFO_TEST_SUPPORT_HPP

#include <openssl/evp.h>

#include <algorithm>
#include <cstddef>
#include <istream>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>

namespace tzo::factoryinfo::test {

// Returns the SHA-256 of `text` as lower-case hexadecimal, computed with OpenSSL directly.
inline std::string sha256Hex(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += "0123456789abcdef"[digest[i] >> 4];
        hex += "0123456789abcdef"[digest[i] & 0x0f];
    }
    return hex;
}

// Returns a "Checksum" section recording the sum of `sectionText` for the section `name`.
inline std::string checksumSectionFor(const std::string& name, const std::string& sectionText) {
    return "BeginOfChecksum\n" + name + "Type=sha256\n" + name + "Sum=" + sha256Hex(sectionText) +
           "\nEndOfChecksum\n";
}

// The line reading that getLine matches: std::getline, with the data end line setting eof.
inline std::istream& referenceGetLine(std::istream& in, std::string& line) {
    if (std::getline(in, line) && line == "EndOfData")
        in.setstate(std::ios_base::eofbit);
    return in;
}

// A stream buffer over `data` that reads ahead at most `chunk` characters at a time; with 0 it
// keeps no get area and hands out one character per call, as an unbuffered one does. It can be
// rewound to position 0, as the section functions do, and nowhere else.
class ChunkedBuffer : public std::streambuf {
public:
    ChunkedBuffer(std::string data, std::size_t chunk) : m_data(std::move(data)), m_chunk(chunk) {}

protected:
    int_type underflow() override {
        if (m_next == m_data.size())
            return traits_type::eof();
        if (m_chunk == 0)
            return traits_type::to_int_type(m_data[m_next]);
        const std::size_t count = std::min(m_chunk, m_data.size() - m_next);
        setg(&m_data[m_next], &m_data[m_next], &m_data[m_next] + count);
        m_next += count;
        return traits_type::to_int_type(*gptr());
    }
    int_type uflow() override {
        if (m_chunk != 0)
            return std::streambuf::uflow();
        return m_next == m_data.size() ? traits_type::eof()
                                       : traits_type::to_int_type(m_data[m_next++]);
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                     std::ios_base::openmode which) override {
        return dir == std::ios_base::beg ? seekpos(offset, which) : pos_type(-1);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode) override {
        if (position != pos_type(0))
            return pos_type(-1);
        m_next = 0;
        setg(nullptr, nullptr, nullptr);
        return position;
    }

private:
    std::string m_data;
    std::size_t m_chunk;
    std::size_t m_next = 0;
};

// A fault offset that is never reached.
constexpr std::size_t kNoFault = std::string::npos;

// A stream buffer over `data` that fails as flash or a driver can: every read reaching byte
// `fault` fails as an input error does (the stream gets bad set), after every rewind too; and
// every rewind fails once `rewindLimit` bytes have been handed out in all, as when the driver
// goes away halfway through a run.
class FaultyBuffer : public std::streambuf {
public:
    FaultyBuffer(std::string data, std::size_t fault, std::size_t rewindLimit = kNoFault)
        : m_data(std::move(data)), m_readable(std::min(fault, m_data.size())),
          m_rewindLimit(rewindLimit) {
        setg(&m_data[0], &m_data[0], &m_data[0] + m_readable);
    }

protected:
    int_type underflow() override {
        if (m_readable < m_data.size())
            throw std::runtime_error("injected read fault");
        return traits_type::eof();
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                     std::ios_base::openmode) override {
        return dir == std::ios_base::beg ? seekpos(offset, std::ios_base::in) : pos_type(-1);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode) override {
        m_delivered += static_cast<std::size_t>(gptr() - eback());
        if (m_delivered >= m_rewindLimit || position != pos_type(0))
            return pos_type(-1);
        setg(eback(), eback(), egptr());
        return position;
    }

private:
    std::string m_data;
    std::size_t m_readable;
    std::size_t m_rewindLimit;
    std::size_t m_delivered = 0;
};

// Returns what `read(stream)` returns, or the message of the std::invalid_argument it throws,
// reading `data` through a stream that fails at `fault` and rewinds until `rewindLimit`.
template <typename Read>
std::string outcomeOf(const std::string& data, std::size_t fault, Read read,
                      std::size_t rewindLimit = kNoFault) {
    FaultyBuffer buffer(data, fault, rewindLimit);
    std::istream in(&buffer);
    try {
        return read(in);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
}

// Returns what `read(stream)` returns for `data`, or the message it throws.
template <typename Read>
std::string outcomeOf(const std::string& data, Read read) {
    return outcomeOf(data, kNoFault, read);
}

} // namespace tzo::factoryinfo::test

#endif // TZO_FACTORYINFO_TEST_SUPPORT_HPP
