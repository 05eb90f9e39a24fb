// A stream buffer that fails on purpose, and what the library, through its C++ and its C API,
// and the tool give for one case, written out as text: what a section reads as, with its faults,
// or the tool's exit status and output (the case files and how they are run:
// tests/cases_test.cpp). Shared by the tests and the fuzz target.
#ifndef TZO_FACTORYINFO_TEST_SUPPORT_HPP
#define TZO_FACTORYINFO_TEST_SUPPORT_HPP

#include <tzo/factoryinfo.h>
#include <tzo/factoryinfo.hpp>

#include "cli.hpp"

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

namespace tzo::factoryinfo::test {

// A fault offset or rewind limit that is never reached, and a read-ahead of all the data.
constexpr std::size_t kNever = std::string::npos;

// A stream buffer over `data` that delivers it as flash or a driver may. It reads ahead at most
// `readAhead` bytes at a time (0: none, one byte per call, as an unbuffered buffer). A read
// reaching byte `fault` throws, as an input error does (the stream gets bad set), after every
// rewind too. Rewinds go to position 0 only, and fail once `rewindLimit` bytes have been handed
// out in all, as when the driver goes away halfway through a run. Both leave errno set, which
// says nothing about the caller's stream.
class TestBuffer : public std::streambuf {
public:
    TestBuffer(std::string data, std::size_t readAhead, std::size_t fault = kNever,
               std::size_t rewindLimit = kNever)
        : m_data(std::move(data)), m_readAhead(readAhead), m_fault(fault),
          m_rewindLimit(rewindLimit) {}

protected:
    int_type underflow() override {
        if (m_next == m_data.size())
            return traits_type::eof();
        if (m_next >= m_fault) {
            errno = EIO; // as a failed read(2) leaves it, which the caller's stream may not
            throw std::runtime_error("injected read fault");
        }
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
        if (m_delivered >= m_rewindLimit || position != pos_type(0)) {
            errno = ESPIPE;
            return pos_type(-1);
        }
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

// Returns what `read(stream)` returns, or "!" and the message of the std::invalid_argument it
// throws (with the cause of a ReadError that knows one), reading `data` through a TestBuffer that
// fails at `fault` and after `rewindLimit`.
template <typename Read>
std::string outcomeOf(const std::string& data, Read read, std::size_t fault = kNever,
                      std::size_t rewindLimit = kNever) {
    TestBuffer buffer(data, kNever, fault, rewindLimit);
    std::istream in(&buffer);
    try {
        return read(in);
    } catch (const ReadError& error) {
        return std::string("!") + error.what() + (*error.cause() ? ": " : "") + error.cause();
    } catch (const std::invalid_argument& error) {
        return std::string("!") + error.what();
    }
}

using Read = std::function<std::string(std::istream&)>;

// Runs of at least this many of one byte are written as the byte once and their length.
constexpr std::size_t kShortestRunShown = 32;

// Returns `text` in quotes, with quotes, backslashes, "*" and bytes other than printable ASCII as
// \xNN, and each run of kShortestRunShown or more of one byte as the byte, "*" and the length of
// the run: 1 MiB of erased flash is "\xff*1048576".
inline std::string shown(const std::string& text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = text[at];
        const std::size_t run = std::min(text.find_first_not_of(text[at], at), text.size()) - at;
        char escaped[5] = {static_cast<char>(c)};
        if (c < 0x20 || c > 0x7e || c == '"' || c == '\\' || c == '*')
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
        if (run >= kShortestRunShown)
            out += escaped + ("*" + std::to_string(run));
        else
            for (std::size_t i = 0; i < run; ++i)
                out += escaped;
        at += run;
    }
    return out + "\"";
}

// Returns the `size` bytes at `text` as shown() writes them, marked when no NUL byte follows.
inline std::string shownCounted(const char* text, std::size_t size) {
    return shown(std::string(text, size)) + (text[size] != '\0' ? " without a NUL after it" : "");
}

// Returns what the C API gives for the reader `what` of the case runner ("checksumSection",
// "Section" or "FactoryInfo") on section `name` of `data` in memory, as the runner writes what
// the C++ API gives; a failure as "!" and its message, marked when it gives a cause other than
// for a failed read, or leaves a result behind.
inline std::string cApiOutcome(const std::string& what, const std::string& name,
                               const std::string& data) {
    const tzo_fi_source source = {nullptr, data.data(), data.size()};
    char sentinel = 0; // what the results point to until a call sets them
    auto* info = reinterpret_cast<tzo_fi_info*>(&sentinel);
    auto* section = reinterpret_cast<tzo_fi_section*>(&sentinel);
    int errorNumber = -1, verified = -1, code = TZO_FI_OK;
    if (what == "checksumSection")
        code = tzo_fi_checksum_section(&source, name.data(), name.size(), &verified, &errorNumber);
    else if (what == "Section")
        code = tzo_fi_section_read(&source, name.data(), name.size(), &section, &errorNumber);
    else
        code = tzo_fi_info_read(&source, &info, &errorNumber);
    const bool cleared = what == "checksumSection" ? verified == 0
                         : what == "Section"       ? section == nullptr
                                                   : info == nullptr;
    if (code != TZO_FI_OK)
        return std::string("!") + tzo_fi_message(code) + (errorNumber != 0 ? " with a cause" : "") +
               (cleared ? "" : " with a result");

    std::string out = what == "checksumSection" ? std::to_string(verified) : "";
    if (what == "Section") {
        std::size_t size = 0;
        const char* text = tzo_fi_section_text(section, &size);
        out = shownCounted(text, size) + (tzo_fi_section_verified(section) ? " verified" : "");
        tzo_fi_section_free(section);
    } else if (what == "FactoryInfo") {
        std::size_t count = 0, size = 0;
        const char* value = nullptr;
        const tzo_fi_entry* entries = tzo_fi_info_entries(info, &count);
        std::set<std::string> keys;
        for (const tzo_fi_entry* entry = entries; entry != entries + count; ++entry)
            keys.emplace(entry->key, entry->key_size);
        for (const tzo_fi_entry* entry = entries; entry != entries + count; ++entry) {
            const bool present = tzo_fi_info_get(info, entry->key, entry->key_size, &value, &size);
            out += shownCounted(entry->key, entry->key_size) + "=" + shownCounted(value, size) +
                   (present && value == entry->value ? " " : " (not its own value) ");
            // Keys that nearly match: with a CR after it, without its last byte.
            const std::string key(entry->key, entry->key_size);
            for (const std::string& near : {key + "\r", key.substr(0, key.size() - !key.empty())})
                if (tzo_fi_info_get(info, near.data(), near.size(), &value, &size) !=
                    static_cast<int>(keys.count(near)))
                    out += "(found " + shown(near) + ") ";
        }
        out += tzo_fi_info_verified(info) ? "verified" : "";
        out += ", Absent " + (tzo_fi_info_get(info, "Absent", 6, &value, &size)
                                  ? std::string("present")
                                  : shownCounted(value, size));
        tzo_fi_info_free(info);
    }
    return out;
}

// Returns the outcome of loading the key files at `paths` (at most 16 KiB of each) and checking
// the signature of `data` with them, through the C API when `c`, or else the C++ API: "verified"
// or the failure's message, which C++ may follow with details.
inline std::string signatureOutcome(bool c, const std::vector<std::string>& paths,
                                    const std::string& data) {
    std::vector<std::string> pems;
    for (const std::string& path : paths) {
        std::string pem(16 * 1024 + 1, '\0');
        std::ifstream(path, std::ios_base::binary).read(&pem[0], pem.size()).gcount();
        pems.push_back(pem.substr(0, pem.find('\0')));
    }
    if (!c) {
        try {
            std::istringstream in(data);
            verifySignature(in, std::vector<PublicKey>(pems.begin(), pems.end()));
            return "verified";
        } catch (const std::invalid_argument& error) {
            return error.what();
        }
    }
    std::vector<tzo_fi_key*> keys(pems.size());
    tzo_fi_data* read = nullptr;
    const tzo_fi_source source = {nullptr, data.data(), data.size()};
    int code = TZO_FI_OK;
    for (std::size_t i = 0; i < pems.size() && code == TZO_FI_OK; ++i)
        code = tzo_fi_key_read(pems[i].data(), pems[i].size(), &keys[i]);
    if (code == TZO_FI_OK && (code = tzo_fi_data_read(&source, &read, nullptr)) == TZO_FI_OK)
        code = tzo_fi_data_verify(read, keys.data(), keys.size());
    tzo_fi_data_free(read);
    for (tzo_fi_key* key : keys)
        tzo_fi_key_free(key);
    return code == TZO_FI_OK ? "verified" : tzo_fi_message(code);
}

// Returns the words of `line` as a POSIX shell splits a command line that holds single quotes
// and no other quoting: blanks (space, tab) separate words, and text between two single quotes
// is taken as it is, blanks included, so '' is an empty word and --prefix='' an option with an
// empty argument. Any other byte stands for itself, a double quote or a backslash too (a NUL
// too, though the tool's argv then ends the word there); a single quote cannot be passed.
// Throws std::invalid_argument for a quote left open.
inline std::vector<std::string> splitArguments(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char c : line) {
        if (c == '\'') {
            quoted = !quoted;
            inWord = true;
        } else if (quoted || (c != ' ' && c != '\t')) {
            word += c;
            inWord = true;
        } else if (inWord) {
            words.push_back(word);
            word.clear();
            inWord = false;
        }
    }
    if (quoted)
        throw std::invalid_argument("a single quote left open in the arguments: " + line);
    if (inWord)
        words.push_back(word);
    return words;
}

// Returns each line that getLine reads from `in` with the flags it sets, up to a failed read.
inline std::string linesOf(std::istream& in) {
    std::string lines, line = "unread";
    do {
        try {
            getLine(in, line);
        } catch (const std::exception& error) {
            lines += std::string(" threw ") + error.what();
        }
        lines += " " + shown(line) + (in.eof() ? " eof" : "") +
                 ((in.rdstate() & std::ios_base::failbit) ? " fail" : "") +
                 (in.bad() ? " bad" : "");
    } while (!in.fail());
    return lines;
}

// Returns below which byte offset a read fault, and with `rewinds` below how many bytes read a
// failing rewind, turn the outcome of `read` on `data` into the read error; or what else a fault
// gives. Tries every `step`-th offset and count.
inline std::string faultsOf(const std::string& data, const Read& read, bool rewinds,
                            std::size_t step) {
    const std::string intact = outcomeOf(data, read);
    std::string summary = "  read error below byte ";
    for (const std::size_t rounds : {1, 3}) {
        if (rounds == 3 && !rewinds)
            break;
        std::size_t firstIntact = kNever;
        for (std::size_t at = 0; at <= rounds * data.size() + 1; at += step) {
            const std::string outcome =
                rounds == 1 ? outcomeOf(data, read, at) : outcomeOf(data, read, kNever, at);
            firstIntact = outcome == intact ? std::min(firstIntact, at) : firstIntact;
            if (outcome != intact &&
                (outcome != "!error reading factory data" || firstIntact <= at))
                return summary + std::to_string(at) + " gives " + outcome;
        }
        summary += (rounds == 1 ? "" : ", on rewinds below ") + std::to_string(firstIntact);
    }
    return summary + "\n";
}

// Returns what the reading functions, checksumSection, Section and, for "Factoryinfo",
// FactoryInfo give for section `name` of `data` (and what the C API gives, where it differs), with
// a fault at every `faultStep`-th place, and with `rewinds` a rewind failing after every
// `faultStep`-th byte; first, with `traceLines`, each line that getLine reads.
inline std::string libraryCase(const std::string& name, const std::string& data, bool traceLines,
                               bool rewinds, std::size_t faultStep = 1) {
    std::istringstream in(data);
    const std::string lines = linesOf(in);
    std::string out = traceLines ? "getLine:" + lines + "\n" : "", last = "caller's";
    in.setstate(std::ios_base::eofbit | std::ios_base::failbit); // a search clears them
    const std::string text = getSectionAsString(in, name, last);
    out += "text: " + shown(text) + " last " + shown(last) + "\npairs:";
    for (const std::size_t readAhead : {0, 1, 3}) { // lines across the ends of the read-ahead
        TestBuffer buffer(data, readAhead);
        std::istream chunked(&buffer);
        std::string chunkedLast = "caller's";
        if (linesOf(chunked) != lines || getSectionAsString(chunked, name, chunkedLast) != text ||
            chunkedLast != last)
            out += " DIFFER read " + std::to_string(readAhead) + " at a time,";
    }
    in.setstate(std::ios_base::eofbit | std::ios_base::failbit);
    last = "caller's";
    seekBeginOfSection(in, name);
    for (const auto& [key, value] : getSectionAsMap(in, name, last))
        out += " " + shown(key) + "=" + shown(value);
    out += " last " + shown(last) + "\n";

    std::vector<std::pair<std::string, Read>> readers = {
        {"checksumSection", [&](std::istream& s) { return checksumSection(s, name) ? "1" : "0"; }},
        {"Section", [&](std::istream& s) {
             const Section section(s, name);
             return shown(section.dump()) + (section.isChecksumValid() ? " verified" : "");
         }}};
    if (name == "Factoryinfo") {
        const Read factoryInfo = [](std::istream& s) {
            const std::string* absent = nullptr;
            std::string pairs;
            {
                const FactoryInfo info(s);
                for (const auto& pair : info.entries())
                    pairs += shown(pair.first) + "=" + shown(info[pair.first]) + " ";
                pairs += info.isChecksumValid() ? "verified" : "";
                absent = &info["Absent"];
            }
            return pairs + ", Absent " + shown(*absent); // outlives the object
        };
        readers.emplace_back("FactoryInfo", factoryInfo);
    }
    for (const auto& [what, read] : readers) {
        const std::string intact = outcomeOf(data, read);
        out += what + ": " + intact + "\n" + faultsOf(data, read, rewinds, faultStep);
        // Every case is a case of the C API too, which must give the same.
        if (const std::string c = cApiOutcome(what, name, data); c != intact)
            out += "  the C API differs: " + c + "\n";
    }
    return out;
}

// The exit status of a child that cannot limit its address space (as under qemu-arm, which keeps
// it to itself, or AddressSanitizer), and of one whose output was not what it should be.
constexpr int kNoLimit = 77, kOtherOutput = 78;

// Returns the exit status of `body()`, run in a child whose address space leaves room for little
// more than the program, 4 MiB; 128 and the signal for a child killed by one, as a shell does.
// `body` is noexcept, so that an exception aborts the child, as it would a program, instead of
// leaving it to run the rest of the tests.
template <typename Body>
int statusInLittleRoom(Body body) {
    static_assert(noexcept(body()), "an exception would leave the child running the tests");
#if defined(__SANITIZE_ADDRESS__)
    return kNoLimit; // AddressSanitizer reserves more address space than a limit leaves
#endif
    const pid_t child = fork();
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (4 << 20);
        const rlimit room = {limit, limit};
        if (setrlimit(RLIMIT_AS, &room) != 0 || std::malloc(64 << 20) != nullptr)
            _exit(kNoLimit);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Returns the exit status and output of the tool run with `arguments` (see splitArguments) on
// `data` as its input.
inline std::string toolCase(const std::string& arguments, const std::string& data) {
    std::vector<std::string> words = {"tzo-factoryinfo", "--file", "-"};
    for (const std::string& word : splitArguments(arguments))
        words.push_back(word);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    // The data as a file in memory, the tool's standard input.
    const int in = memfd_create("case", MFD_CLOEXEC);
    if (in == -1 || write(in, data.data(), data.size()) != static_cast<ssize_t>(data.size()) ||
        lseek(in, 0, SEEK_SET) != 0)
        throw std::runtime_error("no file in memory for the case's data");
    std::ostringstream out, err;
    const int status = tool::run(static_cast<int>(words.size()), argv.data(), in, out, err);
    close(in);
    std::string result = "status " + std::to_string(status) + " out " + shown(out.str()) +
                         "\nerr " + shown(err.str()) + "\n";
    // With --key, the signature check is also made through the C API, which must agree.
    std::vector<std::string> keys;
    for (std::size_t i = 3; i + 1 < words.size(); ++i)
        if (words[i] == "--key")
            keys.push_back(words[i + 1]);
    if (keys.empty())
        return result;
    const std::string cxx = signatureOutcome(false, keys, data);
    if (const std::string c = signatureOutcome(true, keys, data); cxx.rfind(c, 0) != 0)
        result += "the C API differs: " + c + "\n";
    return result;
}

} // namespace tzo::factoryinfo::test

#endif // TZO_FACTORYINFO_TEST_SUPPORT_HPP
