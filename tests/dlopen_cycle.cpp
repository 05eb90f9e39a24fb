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
using tzo::factoryinfo::Section;

// The exported names of the functions called, as the Itanium C++ ABI mangles them.
constexpr char kChecksumSection[] = "_ZN3tzo11factoryinfo15checksumSectionERSiRKNSt7__cxx1112basic_"
                                    "stringIcSt11char_traitsIcESaIcEEE";
constexpr char kFactoryInfoConstructor[] = "_ZN3tzo11factoryinfo11FactoryInfoC1ERSi";
constexpr char kFactoryInfoLookup[] =
    "_ZNK3tzo11factoryinfo11FactoryInfoixERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
constexpr char kSectionConstructor[] =
    "_ZN3tzo11factoryinfo7SectionC1ERSiRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
constexpr char kSectionDump[] = "_ZNK3tzo11factoryinfo7Section4dumpB5cxx11Ev";

// Member functions called through plain pointers take the object as their first argument.
using ChecksumSection = bool (*)(std::istream&, const std::string&);
using FactoryInfoConstructor = void (*)(FactoryInfo*, std::istream&);
using FactoryInfoLookup = const std::string& (*)(const FactoryInfo*, const std::string&);
using SectionConstructor = void (*)(Section*, std::istream&, const std::string&);
using SectionDump = const std::string& (*)(const Section*);

const std::string kBody = "SerialNumber=GW4-7\n";
const std::string kData = "BeginOfFactoryinfo\n" + kBody +
                          "EndOfFactoryinfo\nBeginOfChecksum\nFactoryinfoType=sha256\n"
                          "FactoryinfoSum=0a1c3b6b62d8ba6c4dbe5e5b4cd4fd4fe1a3e1d8bc1b1c6d7cd0b4e3c"
                          "a4c2d5e\nEndOfChecksum\n";

// Prints `what` and returns false.
bool failed(const std::string& what) {
    std::fprintf(stderr, "dlopen-cycle: %s\n", what.c_str());
    return false;
}

// Returns the address of `name` in `library`, or nullptr after printing why.
template <typename Function>
Function lookUp(void* library, const char* name) {
    void* address = dlsym(library, name);
    if (address == nullptr) {
        failed(std::string("missing symbol ") + name);
    }
    return reinterpret_cast<Function>(address);
}

// Calls the API of the loaded `library` once, a success and a failure each.
// Returns true when every result is right.
bool callApi(void* library) {
    const auto checksumSection = lookUp<ChecksumSection>(library, kChecksumSection);
    const auto constructInfo = lookUp<FactoryInfoConstructor>(library, kFactoryInfoConstructor);
    const auto lookup = lookUp<FactoryInfoLookup>(library, kFactoryInfoLookup);
    const auto constructSection = lookUp<SectionConstructor>(library, kSectionConstructor);
    const auto dump = lookUp<SectionDump>(library, kSectionDump);
    if (!checksumSection || !constructInfo || !lookup || !constructSection || !dump) {
        return false;
    }

    // The sum recorded in kData is wrong on purpose: FactoryInfo must throw, unverified
    // sections must not.
    std::istringstream in(kData);
    try {
        checksumSection(in, "Factoryinfo");
        return failed("a wrong sum verified");
    } catch (const std::invalid_argument&) {
    }

    std::istringstream unsummed(kData.substr(0, kData.find("BeginOfChecksum")));
    alignas(FactoryInfo) unsigned char infoStorage[sizeof(FactoryInfo)];
    constructInfo(reinterpret_cast<FactoryInfo*>(infoStorage), unsummed);
    const FactoryInfo& info = *reinterpret_cast<FactoryInfo*>(infoStorage);
    const bool infoRight = lookup(&info, "SerialNumber") == "GW4-7" && lookup(&info, "x").empty();
    info.~FactoryInfo();

    alignas(Section) unsigned char sectionStorage[sizeof(Section)];
    constructSection(reinterpret_cast<Section*>(sectionStorage), unsummed, "Factoryinfo");
    const Section& section = *reinterpret_cast<Section*>(sectionStorage);
    const bool sectionRight = dump(&section) == kBody && !section.isChecksumValid();
    section.~Section();
    return (infoRight && sectionRight) || failed("wrong results");
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
