// Loads and unloads libtzo-gw-factoryinfo.so.0 over and over, calling its public API through
// symbols looked up in each loaded copy, as a plugin host that loads it on demand would.
//
//   dlopen-cycle LIBRARY CYCLES
//
// Fails (exit status 1) when a symbol is missing, a call gives a wrong result, dlclose fails,
// the library stays loaded after dlclose, or the heap grows from cycle to cycle. Leaks of
// memory that nothing points to any more are left to LeakSanitizer or valgrind.
#include <tzo/factoryinfo.hpp>

#include <dlfcn.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

using tzo::factoryinfo::FactoryInfo;

// The exported names of the functions called, as the Itanium C++ ABI mangles them.
constexpr char kChecksumSection[] = "_ZN3tzo11factoryinfo15checksumSectionERSiRKNSt7__cxx1112basic_"
                                    "stringIcSt11char_traitsIcESaIcEEE";
constexpr char kFactoryInfoConstructor[] = "_ZN3tzo11factoryinfo11FactoryInfoC1ERSi";
constexpr char kFactoryInfoLookup[] =
    "_ZNK3tzo11factoryinfo11FactoryInfoixERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";

// Member functions called through plain pointers take the object as their first argument.
using ChecksumSection = bool (*)(std::istream&, const std::string&);
using FactoryInfoConstructor = void (*)(FactoryInfo*, std::istream&);
using FactoryInfoLookup = const std::string& (*)(const FactoryInfo*, const std::string&);

// The sum recorded here is wrong on purpose, so that each cycle also throws.
const std::string kUnsummed = "BeginOfFactoryinfo\nSerialNumber=GW4-7\nEndOfFactoryinfo\n";
const std::string kWrongSum =
    kUnsummed + "BeginOfChecksum\nFactoryinfoType=sha256\nFactoryinfoSum=00\nEndOfChecksum\n";

// Prints `what` and returns false.
bool failed(const std::string& what) {
    std::fprintf(stderr, "dlopen-cycle: %s\n", what.c_str());
    return false;
}

// Calls the API of the loaded `library`: a wrong sum, then an object built and queried.
// Returns true when every symbol is there and every result is right.
bool callApi(void* library) {
    const auto checksumSection =
        reinterpret_cast<ChecksumSection>(dlsym(library, kChecksumSection));
    const auto construct =
        reinterpret_cast<FactoryInfoConstructor>(dlsym(library, kFactoryInfoConstructor));
    const auto lookup = reinterpret_cast<FactoryInfoLookup>(dlsym(library, kFactoryInfoLookup));
    if (!checksumSection || !construct || !lookup) {
        return failed("a symbol is missing");
    }

    std::istringstream wrongSum(kWrongSum);
    try {
        checksumSection(wrongSum, "Factoryinfo");
        return failed("a wrong sum verified");
    } catch (const std::invalid_argument&) {
    }

    std::istringstream unsummed(kUnsummed);
    alignas(FactoryInfo) unsigned char storage[sizeof(FactoryInfo)];
    const auto* info = reinterpret_cast<FactoryInfo*>(storage);
    construct(reinterpret_cast<FactoryInfo*>(storage), unsummed);
    const bool right = lookup(info, "SerialNumber") == "GW4-7" && lookup(info, "x").empty();
    info->~FactoryInfo();
    return right || failed("wrong results");
}

// Loads `path`, calls its API and unloads it. Returns true when all went right.
bool cycle(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return failed(std::string("dlopen: ") + dlerror());
    }
    const bool right = callApi(library);
    if (dlclose(library) != 0) {
        return failed(std::string("dlclose: ") + dlerror());
    }
    if (dlopen(path, RTLD_NOW | RTLD_NOLOAD) != nullptr) {
        return failed("the library stayed loaded after dlclose");
    }
    return right;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dlopen-cycle LIBRARY CYCLES\n");
        return 2;
    }
    const long cycles = std::atol(argv[2]);
    long heapAfterWarmUp = 0;
    for (long i = 0; i < cycles; ++i) {
        if (!cycle(argv[1])) {
            return 1;
        }
        if (i == cycles / 10) {
            heapAfterWarmUp = static_cast<long>(mallinfo2().uordblks);
        }
    }
    const long growth = static_cast<long>(mallinfo2().uordblks) - heapAfterWarmUp;
    std::printf("dlopen-cycle: %ld cycles, heap grew by %ld bytes after warm-up\n", cycles, growth);
    return growth <= 64 * 1024 ? 0 : 1;
}
