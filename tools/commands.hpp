// The tool's commands, each run on factory data that is already open.
#ifndef TZO_FACTORYINFO_TOOL_COMMANDS_HPP
#define TZO_FACTORYINFO_TOOL_COMMANDS_HPP

#include "options.hpp"
#include "status.hpp"

#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tzo::factoryinfo::tool {

// What a command ended with: the exit status, and the failures for standard error.
struct Outcome {
    ExitStatus status = kSuccess;
    std::vector<std::string> failures;
};

// Runs the command of `invocation` on the seekable factory data `data`, and writes its output to
// `out` once everything that can fail has been checked: a command that fails writes nothing, and
// the output is written straight from what the command read, without a copy of its own.
// Returns its outcome. Throws Failure, or std::invalid_argument with the library's message,
// when the command fails as a whole.
Outcome runCommand(const Invocation& invocation, std::istream& data, std::ostream& out);

// Returns the message of the library's failure `error`, followed by ": " and the cause for a
// read error whose cause is known.
std::string messageOf(const std::invalid_argument& error);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_COMMANDS_HPP
