// Helpers shared by the tests: sums computed without the library, streams that fail on
// purpose, and a check for the library's error messages.
#ifndef TZO_FACTORYINFO_TEST_SUPPORT_HPP
#define TZO_FACTORYINFO_TEST_SUPPORT_HPP

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstddef>
#include <stdexcept>
#include <streambuf>
#include <string>

namespace tzo::factoryinfo::test {

// Returns the SHA-256 of `text` as lower-case hexadecimal, computed with OpenSSL directly.
inline std::string sha256Hex(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 0x0f];
    }
    return out;
}

// Returns a "Checksum" section recording the sum of `sectionText` for the section `name`.
inline std::string checksumSectionFor(const std::string& name, const std::string& sectionText) {
    return "BeginOfChecksum\n" + name + "Type=sha256\n" + name + "Sum=" + sha256Hex(sectionText) +
           "\nEndOfChecksum\n";
}

// A stream buffer over `data` that fails on purpose, as flash or a driver can:
// - ReadFault: every read that reaches byte `faultAt` fails, as an input error does (the
//   stream then gets bad set); the bytes before it read normally, after every rewind too.
// - SeekFault: every seek fails.
class FaultyBuffer : public std::streambuf {
public:
    enum class Fault { ReadFault, SeekFault };

    FaultyBuffer(std::string data, Fault fault, std::size_t faultAt = std::string::npos)
        : m_data(std::move(data)), m_fault(fault),
          m_readable(fault == Fault::ReadFault && faultAt < m_data.size() ? faultAt
                                                                          : m_data.size()) {
        rewindTo(0);
    }

protected:
    int_type underflow() override {
        if (m_readable < m_data.size()) {
            throw std::runtime_error("injected read fault");
        }
        return traits_type::eof();
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                     std::ios_base::openmode) override {
        const off_type base = dir == std::ios_base::beg   ? 0
                              : dir == std::ios_base::cur ? gptr() - eback()
                                                          : off_type(m_readable);
        return seekpos(pos_type(base + offset), std::ios_base::in);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode) override {
        const off_type offset = position;
        if (m_fault == Fault::SeekFault || offset < 0 || offset > off_type(m_readable)) {
            return pos_type(off_type(-1));
        }
        rewindTo(static_cast<std::size_t>(offset));
        return position;
    }

private:
    void rewindTo(std::size_t offset) {
        char* begin = &m_data[0];
        setg(begin, begin + offset, begin + m_readable);
    }

    std::string m_data;
    Fault m_fault;
    std::size_t m_readable;
};

} // namespace tzo::factoryinfo::test

// Expects `statement` to throw std::invalid_argument whose message is exactly `message`.
#define EXPECT_INVALID_ARGUMENT(statement, message)                                                \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            ADD_FAILURE() << "no exception, expected \"" << (message) << "\"";                     \
        } catch (const std::invalid_argument& error) {                                             \
            EXPECT_STREQ(error.what(), message);                                                   \
        }                                                                                          \
    } while (false)

#endif // TZO_FACTORYINFO_TEST_SUPPORT_HPP
