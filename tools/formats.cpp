// JSON and POSIX shell output of key/value pairs, and bytes of the data shown in messages.
#include "formats.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kReplacementCharacter[] = "\\ufffd";          // as jsonString writes it
constexpr char kReplacementCharacterUtf8[] = "\xef\xbf\xbd"; // as a JSON parser reads it

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

// Returns the byte that `c` becomes in a shell variable name.
char shellNameByte(char c) {
    return isShellNameByte(c) ? c : '_';
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

// Returns the character of `text` at `at` as a JSON parser reads it from jsonString's output: a
// well-formed UTF-8 sequence as it stands, and any other byte as U+FFFD. Moves `at` past it.
std::string_view jsonCharacter(const std::string& text, std::size_t& at) {
    const std::size_t length = utf8SequenceLength(text, at);
    if (length == 0) {
        ++at;
        return kReplacementCharacterUtf8;
    }
    const std::string_view character(text.data() + at, length);
    at += length;
    return character;
}

// Returns true when the JSON name of key `a` sorts before that of key `b`, comparing them
// character by character as a JSON parser reads them; keys that give one name are equivalent.
bool jsonNameLess(const std::string& a, const std::string& b) {
    std::size_t atA = 0;
    std::size_t atB = 0;
    while (atA < a.size() && atB < b.size()) {
        const std::string_view characterA = jsonCharacter(a, atA);
        const std::string_view characterB = jsonCharacter(b, atB);
        if (characterA != characterB) {
            return characterA < characterB;
        }
    }
    return atA == a.size() && atB < b.size();
}

// Returns true when the shell variable name of key `a` sorts before that of key `b`; keys that
// give one name are equivalent.
bool shellNameLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return shellNameByte(x) < shellNameByte(y);
    });
}

// Returns the first two different keys of `keys`, in byte order, that give the same name, as
// `nameLess` orders names, or nothing when each key gives a name of its own. Sorting by name
// brings the keys that share one together, at the cost of a pointer per key.
template <typename NameLess>
std::optional<std::pair<std::string, std::string>>
keysWithOneName(std::vector<const std::string*> keys, NameLess nameLess) {
    std::sort(keys.begin(), keys.end(), [&](const std::string* a, const std::string* b) {
        return nameLess(*a, *b) || (!nameLess(*b, *a) && *a < *b);
    });
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (!nameLess(*keys[i - 1], *keys[i]) && *keys[i - 1] != *keys[i]) {
            return std::make_pair(*keys[i - 1], *keys[i]);
        }
    }
    return std::nullopt;
}

// Writes the member `key` with `value`, or null without one, of a JSON object to `out`, after
// a comma unless it is the `first`.
void writeJsonMember(std::ostream& out, bool first, const std::string& key,
                     const std::string* value) {
    if (!first) {
        out << ',';
    }
    out << jsonString(key) << ':' << (value != nullptr ? jsonString(*value) : "null");
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

void requireDistinctJsonNames(std::vector<const std::string*> keys) {
    if (const auto clash = keysWithOneName(std::move(keys), jsonNameLess)) {
        throw std::invalid_argument("two keys give the same JSON name: \"" + clash->first +
                                    "\" and \"" + clash->second + "\"");
    }
}

void writeJsonObject(std::ostream& out, const std::vector<Field>& fields) {
    out << '{';
    for (const Field& field : fields) {
        writeJsonMember(out, &field == &fields.front(), field.key, field.value);
    }
    out << "}\n";
}

void writeJsonObject(std::ostream& out, const std::map<std::string, std::string>& entries) {
    out << '{';
    bool first = true;
    for (const auto& [key, value] : entries) {
        writeJsonMember(out, first, key, &value);
        first = false;
    }
    out << "}\n";
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
        name += shellNameByte(c);
    }
    return name;
}

void requireShellAssignable(const std::string& prefix,
                            const std::map<std::string, std::string>& entries) {
    std::vector<const std::string*> keys;
    keys.reserve(entries.size());
    for (const auto& [key, value] : entries) {
        if (value.find('\0') != std::string::npos) {
            throw std::invalid_argument("the value of \"" + key +
                                        "\" holds a NUL byte, which no shell variable can hold");
        }
        keys.push_back(&key);
    }
    if (const auto clash = keysWithOneName(std::move(keys), shellNameLess)) {
        throw std::invalid_argument("two keys give the shell variable name " +
                                    shellName(prefix, clash->first) + ": \"" + clash->first +
                                    "\" and \"" + clash->second + "\"");
    }
}

void writeShellAssignments(std::ostream& out, const std::string& prefix,
                           const std::map<std::string, std::string>& entries) {
    for (const auto& [key, value] : entries) {
        out << shellName(prefix, key) << '=' << shellQuote(value) << '\n';
    }
}

} // namespace tzo::factoryinfo::tool
