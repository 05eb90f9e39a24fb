// The tool's frame: command line in, factory data opened, output or failures out. Every error
// is mapped to its message and exit status here, and only here.
#include "cli.hpp"

#include "commands.hpp"
#include "formats.hpp"
#include "options.hpp"
#include "status.hpp"

#include <tzo/factoryinfo.hpp>

#include <memory>
#include <new>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kWriteErrorMessage[] = "error writing output";
constexpr char kOutOfMemoryMessage[] = "out of memory";

// Returns the factory data named by `file`: standard input for "-", otherwise the file or
// device, read once as the library reads the factory device, so a pipe or a FIFO serves as well
// as a file, and no more than 16 MiB is read. Throws Failure, naming the file and the cause,
// when it cannot be opened.
std::unique_ptr<FactoryData> openData(const std::string& file, int standardInput) {
    if (file == kStandardInputName) {
        return std::make_unique<FactoryData>(standardInput);
    }
    try {
        return std::make_unique<FactoryData>(file);
    } catch (const ReadError& error) {
        const std::string cause = error.cause();
        throw Failure(kDataError,
                      std::string(error.what()) + " " + file + (cause.empty() ? "" : ": " + cause));
    }
}

// Writes one failure line to `err`. Names and keys in `message` come from the data and the
// command line, so the bytes that could end the line or act on the terminal are shown escaped.
void report(std::ostream& err, const std::string& message) {
    err << kProgramName << ": " << printable(message) << '\n';
}

// Runs the invocation, writing its output to `out`, and returns its outcome; every exception
// becomes a failure in it.
Outcome execute(const Invocation& invocation, int standardInput, std::ostream& out) {
    Outcome failed;
    failed.status = kDataError;
    try {
        const std::unique_ptr<FactoryData> data = openData(invocation.file, standardInput);
        return runCommand(invocation, data->stream(), out);
    } catch (const Failure& failure) {
        failed.status = failure.status();
        failed.failures.push_back(failure.what());
    } catch (const std::invalid_argument& error) {
        failed.failures.push_back(messageOf(error)); // the library's own message
    } catch (const std::bad_alloc&) {
        failed.failures.push_back(kOutOfMemoryMessage);
    } catch (const std::exception& error) {
        failed.failures.push_back(error.what());
    }
    return failed;
}

// Writes what `invocation` asks for to `out`: the help, the version, or the output of the command
// run on the data. Returns the outcome.
Outcome outcomeOf(const Invocation& invocation, int standardInput, std::ostream& out) {
    if (invocation.help) {
        out << helpText();
        return {};
    }
    if (invocation.version) {
        out << kProgramName << ' ' << TZO_FACTORYINFO_VERSION << '\n';
        return {};
    }
    return execute(invocation, standardInput, out);
}

// Runs the tool as run() does, leaving to run() a std::bad_alloc from the parsing of the command
// line, the help or the report of failures. Returns the exit status.
int runParsed(int argc, char* argv[], int standardInput, std::ostream& out, std::ostream& err) {
    Invocation invocation;
    try {
        invocation = parseArguments(argc, argv);
    } catch (const Failure& failure) {
        report(err, failure.what());
        err << usageLine() << '\n';
        return failure.status();
    }
    const Outcome outcome = outcomeOf(invocation, standardInput, out);
    if (!outcome.failures.empty()) {
        for (const std::string& failure : outcome.failures) {
            report(err, failure);
        }
        return outcome.status;
    }
    out << std::flush;
    if (!out) {
        report(err, kWriteErrorMessage);
        return kDataError;
    }
    return outcome.status;
}

} // namespace

int run(int argc, char* argv[], int standardInput, std::ostream& out, std::ostream& err) {
    try {
        return runParsed(argc, argv, standardInput, out, err);
    } catch (const std::bad_alloc&) {
        report(err, kOutOfMemoryMessage);
        return kDataError;
    }
}

} // namespace tzo::factoryinfo::tool
