// The whole tool as one function, so that it can be driven in-process as well as from main().
#ifndef TZO_FACTORYINFO_TOOL_CLI_HPP
#define TZO_FACTORYINFO_TOOL_CLI_HPP

#include <ostream>

namespace tzo::factoryinfo::tool {

// Runs the tool on the command line `argv`: parses it, reads the factory data (from the file
// named by --file, from the file descriptor `standardInput` for "--file -", or from the factory
// device), runs the command and writes its data to `out`. Every failure goes to `err` as one line
// "tzo-factoryinfo: MESSAGE", a usage error followed by the usage line; `out` then gets nothing.
// Returns the exit status (see status.hpp).
int run(int argc, char* argv[], int standardInput, std::ostream& out, std::ostream& err);

} // namespace tzo::factoryinfo::tool

#endif // TZO_FACTORYINFO_TOOL_CLI_HPP
