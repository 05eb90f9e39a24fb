// The tool's frame: command line in, factory data opened, output or failures out. Every error
// is mapped to its message and exit status here, and only here.
#include "cli.hpp"

#include "commands.hpp"
#include "options.hpp"
#include "status.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kOpenErrorMessage[] = "unable to open factory file";
constexpr char kWriteErrorMessage[] = "error writing output";

// Returns a seekable copy of all of `in`. The reading functions rewind for every search, which
// a pipe cannot do. Throws Failure when a read fails.
std::unique_ptr<std::istream> readAll(std::istream& in) {
    std::string data;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        data.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw Failure(kDataError, kReadErrorMessage);
    }
    return std::make_unique<std::istringstream>(std::move(data));
}

// Returns the factory data named by `file`, opened for reading. Throws Failure when it
// cannot be opened.
std::unique_ptr<std::istream> openData(const std::string& file, std::istream& standardInput) {
    if (file == kStandardInputName) {
        return readAll(standardInput);
    }
    errno = 0;
    auto stream = std::make_unique<std::ifstream>(file, std::ios_base::in | std::ios_base::binary);
    if (stream->fail()) {
        const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : "";
        throw Failure(kDataError, std::string(kOpenErrorMessage) + " " + file + reason);
    }
    return stream;
}

// Writes one failure line to `err`.
void report(std::ostream& err, const std::string& message) {
    err << kProgramName << ": " << message << '\n';
}

// Runs the invocation and returns its outcome; every exception becomes a failure in it.
Outcome execute(const Invocation& invocation, std::istream& standardInput) {
    Outcome failed;
    failed.status = kDataError;
    try {
        const std::unique_ptr<std::istream> data = openData(invocation.file, standardInput);
        return runCommand(invocation, *data);
    } catch (const Failure& failure) {
        failed.status = failure.status();
        failed.failures.push_back(failure.what());
    } catch (const std::invalid_argument& error) {
        failed.failures.push_back(error.what()); // the library's own message
    } catch (const std::bad_alloc&) {
        failed.failures.push_back("out of memory");
    } catch (const std::exception& error) {
        failed.failures.push_back(error.what());
    }
    return failed;
}

// Returns the outcome of `invocation`: the help, the version, or the command run on the data.
Outcome outcomeOf(const Invocation& invocation, std::istream& standardInput) {
    Outcome outcome;
    if (invocation.help) {
        outcome.output = helpText();
        return outcome;
    }
    if (invocation.version) {
        outcome.output = std::string(kProgramName) + ' ' + TZO_FACTORYINFO_VERSION + '\n';
        return outcome;
    }
    return execute(invocation, standardInput);
}

} // namespace

int run(int argc, char* argv[], std::istream& standardInput, std::ostream& out, std::ostream& err) {
    Invocation invocation;
    try {
        invocation = parseArguments(argc, argv);
    } catch (const Failure& failure) {
        report(err, failure.what());
        err << usageLine() << '\n';
        return failure.status();
    }
    const Outcome outcome = outcomeOf(invocation, standardInput);
    if (!outcome.failures.empty()) {
        for (const std::string& failure : outcome.failures) {
            report(err, failure);
        }
        return outcome.status;
    }
    out << outcome.output << std::flush;
    if (!out) {
        report(err, kWriteErrorMessage);
        return kDataError;
    }
    return outcome.status;
}

} // namespace tzo::factoryinfo::tool
