// How the tool writes key/value pairs for programs, JSON and POSIX shell assignments, and how it
// shows bytes of the data in its messages.
#ifndef TZO_FACTORYINFO_TOOL_FORMATS_HPP
#define TZO_FACTORYINFO_TOOL_FORMATS_HPP

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace tzo::factoryinfo::tool {

// A key and its value; no value for a key that is absent from the data.
struct Field {
    std::string key;
    const std::string* value;
};

// Returns `text` for a message on a terminal: every byte that is not printable text is written
// as \xNN, so that nothing in it can move the cursor, end the line or start an escape sequence.
// Those are the control bytes (C0, DEL, and C1 encoded as UTF-8), the backslash, which would
// make the escapes ambiguous, and every byte that is not part of a well-formed UTF-8 sequence.
std::string printable(const std::string& text);

// Returns `text` as a JSON string literal, quotes included. Quotes, backslashes and control
// characters are escaped. Factory data is bytes, not text: every byte that is not part of a
// well-formed UTF-8 sequence is written as U+FFFD, so the result is always valid JSON.
std::string jsonString(const std::string& text);

// Throws std::invalid_argument, naming two of them, when different keys of `keys` would reach a
// JSON parser as the same name: a JSON parser reads U+FFFD for each byte that jsonString writes
// as U+FFFD, so "k\xff" and "k\xef\xbf\xbd" (U+FFFD itself) are one name to it.
void requireDistinctJsonNames(std::vector<const std::string*> keys);

// Writes one line holding a JSON object with `fields` in the order given, an absent value
// written as null. Call requireDistinctJsonNames first, with keys that are all different.
void writeJsonObject(std::ostream& out, const std::vector<Field>& fields);

// Writes one line holding a JSON object with every pair of `entries`. Call
// requireDistinctJsonNames first.
void writeJsonObject(std::ostream& out, const std::map<std::string, std::string>& entries);

// Returns `text` single-quoted for a POSIX shell: every byte stands for itself, and each
// single quote becomes '\''.
std::string shellQuote(const std::string& text);

// Returns true when `text` is a valid shell variable name: [A-Za-z_][A-Za-z0-9_]*.
bool isShellName(const std::string& text);

// Returns the shell variable name for a data key: `prefix`, a valid name itself, followed by
// the key with every byte other than A-Z a-z 0-9 _ replaced by "_".
std::string shellName(const std::string& prefix, const std::string& key);

// Throws std::invalid_argument when `entries` cannot be written as shell assignments: when two
// keys give the same variable name, since one assignment would silently overwrite the other, or
// when a value holds a NUL byte, which no shell variable can hold (shells drop it or cut the
// value there).
void requireShellAssignable(const std::string& prefix,
                            const std::map<std::string, std::string>& entries);

// Writes one line NAME='value' per pair, in the order of `entries`, each NAME made from the key
// with `prefix` in front. Call requireShellAssignable first.
void writeShellAssignments(std::ostream& out, const std::string& prefix,
                           const std::map<std::string, std::string>& entries);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_FORMATS_HPP
