// The tool's command line: what to do, on which data, and how to print it.
#ifndef TZO_FACTORYINFO_TOOL_OPTIONS_HPP
#define TZO_FACTORYINFO_TOOL_OPTIONS_HPP

#include <tzo/factoryinfo.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tzo::factoryinfo::tool {

inline constexpr char kProgramName[] = "tzo-factoryinfo";
inline constexpr char kStandardInputName[] = "-";
// Put in front of every name that --shell assigns, so that no key of the data can set a
// variable that the shell, the loader or the system gives a meaning to: those are upper case
// or fixed names, and none starts with "factory_".
inline constexpr char kDefaultShellPrefix[] = "factory_";

enum class Command { kGet, kList, kDump, kVerify, kSum, kSeal, kMac };
enum class Format { kText, kJson, kShell };

// One parsed command line.
struct Invocation {
    bool help = false;
    bool version = false;
    std::string file = kFactoryDevicePath;
    bool requireChecksum = false;
    Format format = Format::kText;
    std::optional<std::string> shellPrefix; // --prefix; kDefaultShellPrefix when not given
    std::optional<std::size_t> imageSize;   // seal --size: the bytes to fill the output up to
    std::vector<std::string> publicKeys;    // --key: the public keys, one of which signed
    std::optional<std::string> signingKey;  // seal --sign-key: the private key that signs
    Command command = Command::kList;
    std::vector<std::string> arguments;
};

// Parses the options and the command of `argv`, with getopt_long.
// Returns the invocation; with help or version set, nothing else is checked.
// Throws Failure with kUsageError for an unknown option or command, a missing or surplus
// argument, or an option that the command does not take.
Invocation parseArguments(int argc, char* argv[]);

// Returns the text of --help.
std::string helpText();

// Returns the line printed after a usage error.
std::string usageLine();

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_OPTIONS_HPP
