// Line reading and section extraction: the one place that knows how the factory data is laid
// out in lines and markers (the key/value pairs are split in section_map.cpp).
#include "tzo/factoryinfo.hpp"

#include "error.hpp"
#include "markers.hpp"
#include "messages.hpp"
#include "read_error.hpp"

#include <cxxabi.h>

#include <climits>
#include <cstring>
#include <string_view>

namespace tzo::factoryinfo {

namespace {

// The get area of a stream buffer: what it has read ahead and not yet handed out. Its members
// are protected; named through this derived class they give pointers to members of
// std::streambuf itself, which apply to any stream buffer.
class GetArea : public std::streambuf {
public:
    // Returns the next character that `buffer` hands out.
    static const char* next(std::streambuf& buffer) { return (buffer.*&GetArea::gptr)(); }

    // Returns the end of what `buffer` has read ahead.
    static const char* end(std::streambuf& buffer) { return (buffer.*&GetArea::egptr)(); }

    // Hands out the next `count` characters of the get area of `buffer`; returns nothing.
    static void consume(std::streambuf& buffer, std::size_t count) {
        for (; count > INT_MAX; count -= INT_MAX) {
            (buffer.*&GetArea::gbump)(INT_MAX);
        }
        (buffer.*&GetArea::gbump)(static_cast<int>(count));
    }
};

// Reads the rest of the current line of `buffer` up to and with its LF, and appends it without
// the LF to `line`. A stretch of line in the get area is taken at once; a buffer without a get
// area (an unbuffered one) is read a character at a time, as it only offers that. Sets `taken`
// once a character was read.
// Returns the flags for the stream: eof when the data ended before an LF, good otherwise.
std::ios_base::iostate readRestOfLine(std::streambuf& buffer, std::string& line, bool& taken) {
    using Traits = std::streambuf::traits_type;
    for (;;) {
        const Traits::int_type first = buffer.sgetc();
        if (Traits::eq_int_type(first, Traits::eof())) {
            return std::ios_base::eofbit;
        }
        const char* next = GetArea::next(buffer);
        const char* end = GetArea::end(buffer);
        if (next == end) {
            buffer.sbumpc();
            taken = true;
            if (Traits::to_char_type(first) == '\n') {
                return std::ios_base::goodbit;
            }
            line += Traits::to_char_type(first);
            continue;
        }
        const auto* lf = static_cast<const char*>(std::memchr(next, '\n', end - next));
        const std::size_t length = (lf ? lf : end) - next;
        line.append(next, length);
        GetArea::consume(buffer, lf ? length + 1 : length);
        taken = true;
        if (lf) {
            return std::ios_base::goodbit;
        }
    }
}

// Sets bad on `in` after its stream buffer threw, as std::getline does: the exception goes on
// to the caller only when `in` has exceptions enabled for bad. Call it inside the handler.
// Returns when the exception is not passed on.
void setBadAfterThrow(std::istream& in) {
    if ((in.exceptions() & std::ios_base::badbit) == 0) {
        in.setstate(std::ios_base::badbit);
        return;
    }
    try {
        in.setstate(std::ios_base::badbit);
    } catch (const std::ios_base::failure&) {
        // The flag is set; the buffer's own exception is the one to pass on.
    }
    throw;
}

// Returns true when `in` may be read, as std::istream::sentry decides for unformatted input (and
// with its effects: fail set when it may not, a tied stream flushed). The sentry is only built
// when it has something to do, which is rare and costs more than the read of a line.
bool readyToRead(std::istream& in) {
    if (in.good() && in.tie() == nullptr) {
        return true;
    }
    return static_cast<bool>(std::istream::sentry(in, true));
}

// Reads a line of `buffer` that lies whole, with its LF, in the get area, without copying it;
// call it when the buffer is not at the end of the data.
// Returns the line, or a view without data (nothing read) when the get area ends before an LF;
// the caller then reads the line with readRestOfLine.
std::string_view lineInGetArea(std::streambuf& buffer) {
    const char* next = GetArea::next(buffer);
    const char* end = GetArea::end(buffer);
    // An unbuffered stream buffer has no get area at all: its pointers may be null.
    const auto* lf =
        next == end ? nullptr : static_cast<const char*>(std::memchr(next, '\n', end - next));
    if (lf == nullptr) {
        return {};
    }
    const std::string_view line(next, lf - next);
    GetArea::consume(buffer, line.size() + 1);
    return line;
}

// Reads one line of `in` with the flags and exceptions of getLine, `spill` cleared first.
// Returns the line as a view into the stream buffer when it lies whole in the get area, or into
// `spill`, which then holds it (also the part read before a failed read); either way valid
// until the next read of `in`. Returns a view without data (a line never is), and leaves
// `spill` alone, when `in` was not ready to read.
std::string_view readLine(std::istream& in, std::string& spill) {
    if (!readyToRead(in)) {
        return {};
    }

    spill.clear();
    std::string_view line;
    bool taken = false;
    std::ios_base::iostate state = std::ios_base::goodbit;
    try {
        std::streambuf& buffer = *in.rdbuf();
        using Traits = std::streambuf::traits_type;
        if (Traits::eq_int_type(buffer.sgetc(), Traits::eof())) {
            state = std::ios_base::eofbit;
        } else if (const std::string_view whole = lineInGetArea(buffer); whole.data() != nullptr) {
            line = whole;
            taken = true;
        } else {
            state = readRestOfLine(buffer, spill, taken);
            line = spill;
        }
    } catch (const abi::__forced_unwind&) {
        // A cancelled thread: the unwinding must go on whatever the stream asks for.
        setBadAfterThrow(in);
        throw;
    } catch (...) {
        setBadAfterThrow(in);
        line = spill;
    }

    if (!taken) {
        state |= std::ios_base::failbit;
    } else if (!in.bad() && (state & std::ios_base::eofbit) == 0 && detail::isDataEnd(line)) {
        state |= std::ios_base::eofbit;
    }
    if (state != std::ios_base::goodbit) {
        in.setstate(state);
    }
    return line;
}

// Returns true when `line` is `prefix` followed by `name`.
bool isMarker(std::string_view line, std::string_view prefix, std::string_view name) {
    return line.size() == prefix.size() + name.size() &&
           std::memcmp(line.data(), prefix.data(), prefix.size()) == 0 &&
           std::memcmp(line.data() + prefix.size(), name.data(), name.size()) == 0;
}

} // namespace

bool detail::isBeginMarker(std::string_view line, std::string_view name) {
    return isMarker(line, kBeginPrefix, name);
}

bool detail::isEndMarker(std::string_view line, std::string_view name) {
    return isMarker(line, kEndPrefix, name);
}

bool detail::isDataEnd(std::string_view line) {
    return line == kDataEndLine;
}

// Works on the stream buffer's get area directly, with the flags and exceptions of std::getline,
// which copies and checks far more per line.
std::istream& getLine(std::istream& in, std::string& line) {
    const std::string_view read = readLine(in, line);
    if (read.data() != nullptr && read.data() != line.data()) {
        // readLine has cleared `line`; appending to it is cheaper than assigning.
        line.append(read.data(), read.size());
    }
    return in;
}

// Compares the lines where they lie in the stream buffer: most of the data is passed over here.
std::istream& seekBeginOfSection(std::istream& in, const std::string& name) {
    // Clear first: a stream with fail set ignores the seek.
    in.clear();
    in.seekg(0, std::ios_base::beg);

    std::string spill;
    for (;;) {
        const std::string_view line = readLine(in, spill);
        if (in.fail() || detail::isBeginMarker(line, name)) {
            return in;
        }
    }
}

std::string getSectionAsString(std::istream& in, const std::string& name, std::string& lastLine) {
    std::string text;
    seekBeginOfSection(in, name);

    while (getLine(in, lastLine) && !detail::isEndMarker(lastLine, name)) {
        text += lastLine;
        text += '\n';
    }
    return text;
}

} // namespace tzo::factoryinfo
