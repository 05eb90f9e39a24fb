// The tool's frame: command line in, factory data opened, output or failures out. Every error
// is mapped to its message and exit status here, and only here.
#include "cli.hpp"

#include "commands.hpp"
#include "options.hpp"
#include "status.hpp"

#include "factory_device.hpp"
#include "read_once.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>

namespace tzo::factoryinfo::tool {

namespace {

constexpr char kWriteErrorMessage[] = "error writing output";

// The factory data that the tool reads, a file or standard input, read once as the library
// reads the factory device: what has been read is kept for the rewinds of every search, so a
// pipe or a FIFO serves as well as a file, and no more than 16 MiB is read.
struct Data {
    // libstdc++'s file buffer reads one byte less than its buffer holds.
    char buffer[detail::kFactoryReadSize + 1];
    std::filebuf file;
    std::unique_ptr<detail::ReadOnceData> once; // reads `file` or standard input
};

// Returns the factory data named by `file`, opened for reading: standard input for "-",
// otherwise the file, read in aligned reads of kFactoryReadSize bytes as the library reads the
// factory device. Throws Failure when it cannot be opened.
std::unique_ptr<Data> openData(const std::string& file, std::istream& standardInput) {
    auto data = std::make_unique<Data>();
    if (file == kStandardInputName) {
        data->once = std::make_unique<detail::ReadOnceData>(standardInput.rdbuf());
        return data;
    }
    // A file buffer takes its buffer only before it is opened.
    data->file.pubsetbuf(data->buffer, sizeof data->buffer);
    errno = 0;
    if (data->file.open(file, std::ios_base::in | std::ios_base::binary) == nullptr) {
        const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : "";
        throw Failure(kDataError, std::string(detail::kOpenErrorMessage) + " " + file + reason);
    }
    data->once = std::make_unique<detail::ReadOnceData>(&data->file);
    return data;
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
        const std::unique_ptr<Data> data = openData(invocation.file, standardInput);
        return runCommand(invocation, data->once->stream());
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
