// JSON and POSIX shell output of key/value pairs, and bytes of the data shown in messages.
#include "formats.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <set>
#include <stdexcept>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kReplacementCharacter[] = "\\ufffd";

// Returns the length of the well-formed UTF-8 sequence that starts at `text[at]`, or 0 when the
// byte there does not start one (a stray continuation byte, an overlong form, a surrogate, a
// code point above U+10FFFF or a sequence cut short).
std::size_t utf8SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }

    std::size_t length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        secondMin = lead == 0xe0 ? 0xa0 : 0x80; // no overlong forms
        secondMax = lead == 0xed ? 0x9f : 0xbf; // no surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        secondMin = lead == 0xf0 ? 0x90 : 0x80; // no overlong forms
        secondMax = lead == 0xf4 ? 0x8f : 0xbf; // nothing above U+10FFFF
    } else {
        return 0;
    }

    if (text.size() - at < length || byte(1) < secondMin || byte(1) > secondMax) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xbf) {
            return 0;
        }
    }
    return length;
}

// Appends the JSON form of the ASCII byte `c` to `out`.
void appendJsonAscii(std::string& out, char c) {
    switch (c) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case '\b':
        out += "\\b";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        break;
    }
    if (static_cast<unsigned char>(c) < 0x20) {
        char escape[7];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        out += escape;
        return;
    }
    out += c;
}

// Returns true when `c` may appear in a shell variable name, though not as its first byte
// when it is a digit.
bool isShellNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Returns true when the well-formed UTF-8 sequence of `length` bytes at `text[at]` is text that
// a terminal shows as it is: not a control character (C0, DEL, C1) and not the backslash.
bool isPrintableSequence(const std::string& text, std::size_t at, std::size_t length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (length == 1) {
        return lead >= 0x20 && lead != 0x7f && lead != '\\';
    }
    const bool c1Control =
        length == 2 && lead == 0xc2 && static_cast<unsigned char>(text[at + 1]) <= 0x9f;
    return !c1Control;
}

} // namespace

std::string printable(const std::string& text) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length != 0 && isPrintableSequence(text, at, length)) {
            out.append(text, at, length);
            at += length;
            continue;
        }
        for (const std::size_t end = at + std::max<std::size_t>(length, 1); at < end; ++at) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[at]));
            out += escape;
        }
    }
    return out;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0) {
            out += kReplacementCharacter;
            ++at;
        } else if (length == 1) {
            appendJsonAscii(out, text[at]);
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    out += '"';
    return out;
}

std::string jsonObject(const std::vector<Field>& fields) {
    std::map<std::string, std::string> keyOfName; // each JSON name written, to its key
    std::string out = "{";
    for (const Field& field : fields) {
        const std::string name = jsonString(field.key);
        const auto [written, added] = keyOfName.emplace(name, field.key);
        if (!added && written->second != field.key) {
            throw std::invalid_argument("two keys give the JSON name " + name);
        }
        if (!added) {
            continue;
        }
        if (keyOfName.size() > 1) {
            out += ',';
        }
        out += name;
        out += ':';
        out += field.value ? jsonString(*field.value) : "null";
    }
    out += "}\n";
    return out;
}

std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

bool isShellName(const std::string& text) {
    return !text.empty() && !(text[0] >= '0' && text[0] <= '9') &&
           std::all_of(text.begin(), text.end(), isShellNameByte);
}

std::string shellName(const std::string& prefix, const std::string& key) {
    std::string name = prefix;
    for (const char c : key) {
        name += isShellNameByte(c) ? c : '_';
    }
    return name;
}

std::string shellAssignments(const std::string& prefix,
                             const std::map<std::string, std::string>& entries) {
    std::set<std::string> names;
    std::string out;
    for (const auto& [key, value] : entries) {
        const std::string name = shellName(prefix, key);
        if (!names.insert(name).second) {
            throw std::invalid_argument("two keys give the shell variable name " + name);
        }
        out += name;
        out += '=';
        out += shellQuote(value);
        out += '\n';
    }
    return out;
}

} // namespace tzo::factoryinfo::tool
