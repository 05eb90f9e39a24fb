// Command-line parsing with getopt_long, and the help text that documents it.
#include "options.hpp"

#include "checksum_names.hpp"
#include "formats.hpp"
#include "mac_address.hpp"
#include "status.hpp"

#include <getopt.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace tzo::factoryinfo::tool {

namespace {

constexpr std::size_t kAnyNumber = std::numeric_limits<std::size_t>::max();

// What one command takes.
struct CommandRule {
    const char* name;
    Command command;
    const char* argumentName; // for messages; nullptr when the command takes none
    std::size_t minArguments;
    std::size_t maxArguments;
    bool takesRequireChecksum;
    bool takesJson;
    bool takesShell;
    bool takesSize;
    bool recordsSums; // its arguments name sections whose sums it records
};

constexpr CommandRule kCommandRules[] = {
    {"get", Command::kGet, "KEY", 1, kAnyNumber, true, true, false, false, false},
    {"list", Command::kList, nullptr, 0, 0, true, true, true, false, false},
    {"dump", Command::kDump, "SECTION", 1, 1, true, false, false, false, false},
    {"verify", Command::kVerify, "SECTION", 0, kAnyNumber, false, false, false, false, false},
    {"sum", Command::kSum, "SECTION", 1, 1, false, false, false, false, true},
    {"seal", Command::kSeal, "SECTION", 0, kAnyNumber, false, false, false, true, true},
    {"mac", Command::kMac, "KEY", 1, 2, true, false, false, false, false},
};

// The long options without a letter.
constexpr int kSizeOption = 256;
constexpr int kKeyOption = 257;
constexpr int kSignKeyOption = 258;
constexpr std::size_t kKibibyte = 1024;
constexpr std::size_t kMebibyte = 1024 * 1024;

// The leading "-" has getopt_long return every operand in order, as option 1, instead of
// permuting them after the options, or stopping at the first one when POSIXLY_CORRECT is set:
// options may follow the command whatever the environment says. The ":" then has it tell a
// missing argument from an unknown option.
constexpr char kShortOptions[] = "-:f:rjsp:hV";
constexpr int kOperand = 1; // what getopt_long returns for an operand, in optarg
constexpr option kLongOptions[] = {
    {"file", required_argument, nullptr, 'f'},
    {"require-checksum", no_argument, nullptr, 'r'},
    {"json", no_argument, nullptr, 'j'},
    {"shell", no_argument, nullptr, 's'},
    {"prefix", required_argument, nullptr, 'p'},
    {"size", required_argument, nullptr, kSizeOption}, // long only: seal's
    {"key", required_argument, nullptr, kKeyOption},
    {"sign-key", required_argument, nullptr, kSignKeyOption},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// Throws the usage failure with `message`.
[[noreturn]] void usageError(const std::string& message) {
    throw Failure(kUsageError, message);
}

// Returns `word` up to any "=ARGUMENT" attached to it.
std::string withoutArgument(const std::string& word) {
    return word.substr(0, word.find('='));
}

// Returns true when `value` is what getopt_long returns for one of the tool's short options.
bool isShortOption(int value) {
    return value > kOperand && value != ':' && value != '-' &&
           value <= std::numeric_limits<unsigned char>::max() &&
           std::strchr(kShortOptions, value) != nullptr;
}

// Returns the message for the option that getopt_long just rejected, naming it as the user
// wrote it. A long option has been stepped past; getopt_long gives the letter of a long option
// that was given an argument it does not take, and no letter for one that is unknown or
// abbreviated too far. A short option is named by its letter: it may stand inside a group.
std::string rejectedOption(char* argv[]) {
    const std::string word = withoutArgument(argv[optind - 1]);
    if (isShortOption(optopt)) {
        return "option " + word + " takes no argument";
    }
    if (optopt != 0) {
        return std::string("unknown option -") + static_cast<char>(optopt);
    }
    int matches = 0;
    for (const option* known = kLongOptions; known->name != nullptr; ++known) {
        matches +=
            word.size() > 2 && std::strncmp(known->name, word.c_str() + 2, word.size() - 2) == 0;
    }
    return (matches > 1 ? "ambiguous option " : "unknown option ") + word;
}

// Returns the message for an option whose argument is missing, which can only happen at the
// end, where getopt_long has stepped past the option: a long one as written, a short one by
// its letter, which may end a group like -rf.
std::string missingArgument(char* argv[]) {
    const std::string word = argv[optind - 1];
    const std::string name =
        word.rfind("--", 0) == 0 ? word : std::string("-") + static_cast<char>(optopt);
    return "option " + name + " needs an argument";
}

// Returns the --prefix argument `prefix`. Throws the usage failure unless it can start a shell
// variable name, which makes every name built from it a valid one.
std::string shellPrefix(const std::string& prefix) {
    if (!isShellName(prefix)) {
        usageError("--prefix needs the start of a shell name ([A-Za-z_][A-Za-z0-9_]*), not \"" +
                   prefix + "\"");
    }
    return prefix;
}

// Returns the --file argument `path`. Throws the usage failure for the empty one, which names
// no file: opening it would only fail with a message that shows no name.
std::string filePath(const std::string& path) {
    if (path.empty()) {
        usageError("--file needs the path of a file, or - for standard input, not \"\"");
    }
    return path;
}

// Returns the byte count of the --size argument `text`: decimal digits, followed by K for KiB
// or M for MiB if wanted. Throws the usage failure for anything else, and for a count above
// 16 MiB: readers read no more, so an image that size could not be read.
std::size_t imageSize(const std::string& text) {
    const std::size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
    const std::string suffix = text.substr(digits);
    const std::size_t unit = suffix.empty()  ? 1
                             : suffix == "K" ? kKibibyte
                             : suffix == "M" ? kMebibyte
                                             : 0;
    if (digits == 0 || unit == 0) {
        usageError("--size needs a number of bytes, with K or M after it if wanted, not \"" + text +
                   "\"");
    }
    std::size_t count = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        count = count * 10 + static_cast<std::size_t>(text[i] - '0');
        if (count > kMaxDataSize / unit) { // before the count could overflow
            usageError("--size " + text + " is more than 16 MiB, the most that readers read");
        }
    }
    return count * unit;
}

// Returns the key file `path` given with `option`. Throws the usage failure when it is empty,
// which names no file.
std::string keyFile(const char* option, const std::string& path) {
    if (path.empty()) {
        usageError(std::string(option) + " needs the name of a key file");
    }
    return path;
}

// Sets the output format to `format`, unless another one was already chosen.
void chooseFormat(Invocation& invocation, Format format) {
    if (invocation.format != Format::kText && invocation.format != format) {
        usageError("--json and --shell cannot be combined");
    }
    invocation.format = format;
}

// Reads the options of `argv` into `invocation`.
// Returns the operands, the command and its arguments, in order, those after -- included.
std::vector<std::string> parseOptions(int argc, char* argv[], Invocation& invocation) {
    optind = 0; // start afresh, in case of an earlier parse in this process
    opterr = 0; // every message goes through Failure, not straight to stderr
    std::vector<std::string> operands;
    int option;
    while ((option = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr)) != -1) {
        switch (option) {
        case kOperand:
            operands.emplace_back(optarg);
            break;
        case 'f':
            invocation.file = filePath(optarg);
            break;
        case 'r':
            invocation.requireChecksum = true;
            break;
        case 'j':
            chooseFormat(invocation, Format::kJson);
            break;
        case 's':
            chooseFormat(invocation, Format::kShell);
            break;
        case 'p':
            invocation.shellPrefix = shellPrefix(optarg);
            break;
        case kSizeOption:
            invocation.imageSize = imageSize(optarg);
            break;
        case kKeyOption:
            invocation.publicKeys.push_back(keyFile("--key", optarg));
            break;
        case kSignKeyOption:
            invocation.signingKey = keyFile("--sign-key", optarg);
            break;
        case 'h':
            invocation.help = true;
            break;
        case 'V':
            invocation.version = true;
            break;
        case ':':
            usageError(missingArgument(argv));
        default:
            usageError(rejectedOption(argv));
        }
    }
    operands.insert(operands.end(), argv + optind, argv + argc);
    return operands;
}

// Returns the rule of the command called `name`. Throws the usage failure if there is none.
const CommandRule& findCommand(const std::string& name) {
    for (const CommandRule& rule : kCommandRules) {
        if (name == rule.name) {
            return rule;
        }
    }
    usageError("unknown command \"" + name + "\"");
}

// Checks --key and --sign-key against the command of `rule`. The public key checks the
// signature of the sums, so with get, list and dump it needs --require-checksum: without it,
// data that no sum protects would be given out as if the key had vouched for it.
void checkKeys(const Invocation& invocation, const CommandRule& rule) {
    const std::string command = rule.name;
    const bool publicKey = !invocation.publicKeys.empty();
    if (publicKey && !rule.takesRequireChecksum && rule.command != Command::kVerify) {
        usageError("--key does not apply to " + command);
    }
    if (publicKey && rule.takesRequireChecksum && !invocation.requireChecksum) {
        usageError("--key needs --require-checksum with " + command);
    }
    if (invocation.signingKey && rule.command != Command::kSeal) {
        usageError("--sign-key does not apply to " + command);
    }
}

// Checks the options and the number of arguments against what the command of `rule` takes.
void checkAgainstRule(const Invocation& invocation, const CommandRule& rule) {
    const std::string command = rule.name;
    const std::size_t count = invocation.arguments.size();
    if (count < rule.minArguments) {
        usageError(command + " needs " + rule.argumentName);
    }
    if (count > rule.maxArguments) {
        usageError(rule.maxArguments == 0 ? command + " takes no arguments"
                                          : command + " takes one " + rule.argumentName);
    }
    if (invocation.requireChecksum && !rule.takesRequireChecksum) {
        usageError("--require-checksum does not apply to " + command);
    }
    if (invocation.format == Format::kJson && !rule.takesJson) {
        usageError("--json does not apply to " + command);
    }
    if (invocation.format == Format::kShell && !rule.takesShell) {
        usageError("--shell does not apply to " + command);
    }
    if (invocation.shellPrefix && invocation.format != Format::kShell) {
        usageError("--prefix applies only with --shell");
    }
    if (invocation.imageSize && !rule.takesSize) {
        usageError("--size does not apply to " + command);
    }
    checkKeys(invocation, rule);
    for (const std::string& name : invocation.arguments) {
        const std::string problem = rule.recordsSums ? checksumNameProblem(name) : "";
        if (!problem.empty()) {
            usageError(problem);
        }
    }
}

} // namespace

Invocation parseArguments(int argc, char* argv[]) {
    Invocation invocation;
    const std::vector<std::string> operands = parseOptions(argc, argv, invocation);
    if (invocation.help || invocation.version) {
        return invocation;
    }
    if (operands.empty()) {
        usageError("no command given");
    }

    const CommandRule& rule = findCommand(operands.front());
    invocation.command = rule.command;
    invocation.arguments.assign(operands.begin() + 1, operands.end());
    if (rule.command == Command::kMac) {
        invocation.requireChecksum = true; // an interface gets no address that is not verified
        if (invocation.arguments.size() == 2) {
            macOffset(invocation.arguments.back());
        }
    }
    checkAgainstRule(invocation, rule);
    return invocation;
}

std::string usageLine() {
    return std::string("usage: ") + kProgramName +
           " [OPTION]... COMMAND [ARGUMENT]... (see --help)";
}

std::string helpText() {
    return std::string("Usage: ") + kProgramName + " [OPTION]... COMMAND [ARGUMENT]...\n" +
           "Reads the factory data of a TZO gateway.\n"
           "\n"
           "Commands:\n"
           "  get KEY...           print the value of each KEY of the Factoryinfo section, one\n"
           "                       per line, in the order given; an empty line for an absent key\n"
           "  list                 print every pair of the Factoryinfo section as key=value\n"
           "  dump SECTION         print the text of SECTION exactly as stored\n"
           "  verify [SECTION]...  check each SECTION (default Factoryinfo) against the sum\n"
           "                       recorded for it in the Checksum section\n"
           "  sum SECTION          print the SECTIONType and SECTIONSum lines that record the\n"
           "                       sum of SECTION in the Checksum section\n"
           "  seal [SECTION]...    print the complete factory data made from the draft read:\n"
           "                       the draft up to its end of data without its Checksum and\n"
           "                       Signature sections, a new Checksum section with the sum of\n"
           "                       each SECTION (default: every section, in order), with\n"
           "                       --sign-key a Signature section, and EndOfData; nothing is\n"
           "                       printed unless it reads back with the same texts, verified\n"
           "                       sums and a signature that the public half accepts\n"
           "  mac KEY [+N]         print the MAC address in KEY of the Factoryinfo section plus\n"
           "                       N (0 to 16777215), in lower case; fails unless the section's\n"
           "                       sum is recorded and matches (and with --key, the signature),\n"
           "                       and the address is unicast and not all-zero, and when N\n"
           "                       would carry into the first three octets (the OUI)\n"
           "\n"
           "Options:\n"
           "  -f, --file=PATH         read PATH instead of " +
           kFactoryDevicePath +
           ";\n"
           "                          - reads standard input\n"
           "  -r, --require-checksum  get, list, dump: fail unless a sum is recorded for the\n"
           "                          section and matches it\n"
           "      --key=PUBKEY        verify, and get, list, dump with -r: also fail unless the\n"
           "                          Checksum section is signed with the Ed25519 public key\n"
           "                          in the PEM file PUBKEY; given more than once, with any\n"
           "                          one of them\n"
           "  -j, --json              get, list: print one JSON object; an absent key is null,\n"
           "                          and bytes that are not UTF-8 become U+FFFD\n"
           "  -s, --shell             list: print NAME='value' lines for a POSIX shell, to use as\n"
           "                            vars=$(" +
           kProgramName +
           " --shell list) && eval \"$vars\"\n"
           "                          NAME is the prefix and the key, each byte of the key other\n"
           "                          than A-Z a-z 0-9 _ made _ (MacAddress: " +
           kDefaultShellPrefix +
           "MacAddress);\n"
           "                          a value with a NUL byte fails: no variable can hold it\n"
           "  -p, --prefix=PREFIX     with --shell: start each NAME with PREFIX, not " +
           kDefaultShellPrefix +
           "\n"
           "      --size=BYTES        seal: fill up to BYTES, at most 16M, with 0xff (erased\n"
           "                          flash), failing when the data does not fit; K: KiB,\n"
           "                          M: MiB\n"
           "      --sign-key=KEY      seal: sign the Checksum section with the Ed25519 private\n"
           "                          key in the PEM file KEY (/dev/fd/N: read from descriptor N)\n"
           "  -h, --help              print this help and exit\n"
           "  -V, --version           print the version and exit\n"
           "Options may also follow the command and its arguments. Every word after -- is an\n"
           "argument, so a KEY or SECTION that starts with - must come after it:\n"
           "  " +
           kProgramName +
           " get -- -odd-key\n"
           "\n"
           "Exit status:\n"
           "  0  success\n"
           "  1  the data cannot be read, is malformed, fails verification, or cannot be sealed;\n"
           "     with --key: the signature is missing, malformed or wrong; mac: the address\n"
           "     is refused\n"
           "  2  usage error, or a key file that cannot be read or used\n"
           "  3  get, mac: a key is absent\n"
           "  4  verify, mac, or --require-checksum: no sum is recorded for a section\n"
           "Standard output gets data only, and nothing when the command fails; every\n"
           "failure is reported on standard error.\n";
}

} // namespace tzo::factoryinfo::tool
