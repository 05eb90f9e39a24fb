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

// A fault offset that is never reached, and a read-ahead of all the data at once.
constexpr std::size_t kNoFault = std::string::npos;
constexpr std::size_t kWhole = std::string::npos;

// A stream buffer over `data` that delivers it as flash or a driver may. It reads ahead at most
// `readAhead` bytes at a time (0: none, handing out one byte per call as an unbuffered buffer
// does). A read reaching byte `fault` fails as an input error does (the stream gets bad set),
// after every rewind too. Rewinds go to position 0 only, and fail once `rewindLimit` bytes have
// been handed out in all, as when the driver goes away halfway through a run.
class TestBuffer : public std::streambuf {
public:
    TestBuffer(std::string data, std::size_t readAhead, std::size_t fault = kNoFault,
               std::size_t rewindLimit = kNoFault)
        : m_data(std::move(data)), m_readAhead(readAhead), m_fault(fault),
          m_rewindLimit(rewindLimit) {}

protected:
    int_type underflow() override {
        if (m_next == m_data.size())
            return traits_type::eof();
        if (m_next >= m_fault)
            throw std::runtime_error("injected read fault");
        if (m_readAhead == 0)
            return traits_type::to_int_type(m_data[m_next]);
        const std::size_t count = std::min({m_readAhead, m_data.size() - m_next, m_fault - m_next});
        setg(&m_data[m_next], &m_data[m_next], &m_data[m_next] + count);
        m_next += count;
        return traits_type::to_int_type(*gptr());
    }
    int_type uflow() override {
        if (m_readAhead != 0)
            return std::streambuf::uflow();
        const int_type next = underflow();
        m_next += traits_type::eq_int_type(next, traits_type::eof()) ? 0 : 1;
        return next;
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                     std::ios_base::openmode which) override {
        return dir == std::ios_base::beg ? seekpos(offset, which) : pos_type(-1);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode) override {
        m_delivered += m_next - static_cast<std::size_t>(egptr() - gptr());
        if (m_delivered >= m_rewindLimit || position != pos_type(0))
            return pos_type(-1);
        m_next = 0;
        setg(nullptr, nullptr, nullptr);
        return position;
    }

private:
    std::string m_data;
    std::size_t m_readAhead;
    std::size_t m_fault;
    std::size_t m_rewindLimit;
    std::size_t m_next = 0;
    std::size_t m_delivered = 0;
};

// Returns what `read(stream)` returns, or the message of the std::invalid_argument it throws,
// reading `data` through a stream that fails at `fault` and rewinds until `rewindLimit`.
template <typename Read>
std::string outcomeOf(const std::string& data, std::size_t fault, Read read,
                      std::size_t rewindLimit = kNoFault) {
    TestBuffer buffer(data, kWhole, fault, rewindLimit);
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
