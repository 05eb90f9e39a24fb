// The C API where the cases do not take it (they compare it with the C++ API on every case's
// data, tests/test_support.hpp): its codes and their messages, the arguments it refuses, and what
// is too much for it, the crypto library's failures in C++ too. The device test reads the device
// through it, and the causes of failures.
#include <tzo/factoryinfo.h>
#include <tzo/factoryinfo.hpp>

#include "test_support.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <new>
#include <set>
#include <stdexcept>
#include <string>

// What the crypto library's digest throws in this program, or null: it passes the call on.
std::exception_ptr cryptoFault;

// The library's calls of the crypto library's digest reach this definition first, as the
// program's own symbols come before those of the libraries that it loads.
// Returns the digest of the crypto library, or throws `cryptoFault`.
namespace tzo::crypto {
__attribute__((visibility("default"))) std::string calculateSha256(const std::uint8_t* data,
                                                                   std::uint32_t length) {
    if (cryptoFault)
        std::rethrow_exception(cryptoFault);
    using Digest = std::string (*)(const std::uint8_t*, std::uint32_t);
    static const auto digest =
        reinterpret_cast<Digest>(dlsym(RTLD_NEXT, "_ZN3tzo6crypto15calculateSha256B5cxx11EPKhj"));
    return digest(data, length);
}
} // namespace tzo::crypto

namespace {

namespace test = tzo::factoryinfo::test;

// Every code, its value and its message: what C programs are built against and what they show.
const struct {
    int code;
    int value;
    const char* message;
} kCodes[] = {
    {TZO_FI_OK, 0, "no error"},
    {TZO_FI_OPEN_FAILED, 1, "unable to open factory file"},
    {TZO_FI_READ_FAILED, 2, "error reading factory data"},
    {TZO_FI_TOO_MUCH_DATA, 3, "factory data exceeds 16 MiB"},
    {TZO_FI_NO_FACTORYINFO, 4, "End of data reached before finding factory info"},
    {TZO_FI_FACTORYINFO_UNENDED, 5, "end of file reached before finding end of factory info"},
    {TZO_FI_SECTION_UNENDED, 6, "end of file reached before finding end of section"},
    {TZO_FI_CHECKSUM_UNENDED, 7, "end of file reached before finding end of checksum section"},
    {TZO_FI_MISSING_ENTRY, 8, "Missing checksum entry"},
    {TZO_FI_UNSUPPORTED_SUM, 9, "Unsupported sum"},
    {TZO_FI_CHECKSUM_MISMATCH, 10, "Calculated checksum do not match the provided one"},
    {TZO_FI_SECTION_TOO_LARGE, 11, "section too large to checksum"},
    {TZO_FI_OUT_OF_MEMORY, 12, "out of memory"},
    {TZO_FI_INVALID_ARGUMENT, 13, "invalid argument: a null pointer"},
    {TZO_FI_INTERNAL_ERROR, 14, "internal error of the factory data library"},
    {TZO_FI_CRYPTO_FAILED, 15, "crypto library failed to compute SHA-256"},
};

// What the results point to until a call sets them.
char sentinel;
tzo_fi_info* const kUnsetInfo = reinterpret_cast<tzo_fi_info*>(&sentinel);
tzo_fi_section* const kUnsetSection = reinterpret_cast<tzo_fi_section*>(&sentinel);

// Every code has its own message, which C++ callers get word for word as well.
TEST(CApi, EveryCodeHasItsOwnMessage) {
    std::set<std::string> messages = {"unknown error code"};
    for (const auto& [code, value, message] : kCodes) {
        EXPECT_EQ(code, value) << message;
        EXPECT_STREQ(tzo_fi_message(code), message);
        messages.insert(message);
    }
    EXPECT_EQ(messages.size(), std::size(kCodes) + 1);
    EXPECT_STREQ(tzo_fi_message(-1), "unknown error code");
    // The codes of keys and signatures, in their order: their messages are in the baselines of
    // tests/cases/tool-keys/, which the C API must give too (toolCase in test_support.hpp).
    static_assert(TZO_FI_NO_SIGNATURES == 16 && TZO_FI_SIGNING_KEY_ENCRYPTED == 32, "codes moved");
    for (int code = TZO_FI_NO_SIGNATURES; code <= TZO_FI_SIGNING_KEY_ENCRYPTED; ++code)
        EXPECT_STRNE(tzo_fi_message(code), "unknown error code") << code;
    EXPECT_STREQ(tzo_fi_message(33), "unknown error code");
    EXPECT_STREQ(tzo_fi_cause(EBADMSG), "uncorrectable ECC error"); // the others: the device test
    EXPECT_STREQ(tzo_fi_cause(0), "");
}

// A null pointer where a result goes, or for bytes of some length, is refused before anything is
// read; for no bytes it stands for no data, or the empty name.
TEST(CApi, RefusesNullPointersOnlyWhereTheyCannotStandForNothing) {
    const tzo_fi_source none = {nullptr, nullptr, 0}, lost = {nullptr, nullptr, 1};
    const char data[] = "BeginOf\nx\nEndOf\nBeginOfChecksum\nType=sha256\nEndOfChecksum\n";
    const tzo_fi_source named = {nullptr, data, sizeof data - 1};
    tzo_fi_info* info = kUnsetInfo;
    tzo_fi_section* section = kUnsetSection;
    int errorNumber = -1, verified = -1;
    EXPECT_EQ(tzo_fi_info_read(&lost, &info, &errorNumber), TZO_FI_INVALID_ARGUMENT);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(errorNumber, 0);
    EXPECT_EQ(tzo_fi_info_read(&none, nullptr, nullptr), TZO_FI_INVALID_ARGUMENT);
    EXPECT_EQ(tzo_fi_info_read(&none, &info, nullptr), TZO_FI_NO_FACTORYINFO);
    EXPECT_EQ(tzo_fi_section_read(&named, nullptr, 1, &section, nullptr), TZO_FI_INVALID_ARGUMENT);
    EXPECT_EQ(tzo_fi_section_read(&named, "", 0, nullptr, nullptr), TZO_FI_INVALID_ARGUMENT);
    // The empty name's sum is recorded in part: a name of any other bytes has none.
    EXPECT_EQ(tzo_fi_section_read(&named, nullptr, 0, &section, nullptr), TZO_FI_MISSING_ENTRY);
    EXPECT_EQ(tzo_fi_checksum_section(&named, nullptr, 1, &verified, nullptr),
              TZO_FI_INVALID_ARGUMENT);
    EXPECT_EQ(verified, 0);
    EXPECT_EQ(tzo_fi_checksum_section(&named, "", 0, nullptr, nullptr), TZO_FI_INVALID_ARGUMENT);
    EXPECT_EQ(tzo_fi_checksum_section(&named, nullptr, 0, &verified, nullptr),
              TZO_FI_MISSING_ENTRY);
    tzo_fi_info_free(nullptr);
    tzo_fi_section_free(nullptr);
}

#ifndef TZO_FACTORYINFO_SIGNATURES
// Built without signatures, the calls that need keys fail with their own code at once.
TEST(CApi, RefusesKeysAndVerifyingWithoutSignatures) {
    tzo_fi_key* key = reinterpret_cast<tzo_fi_key*>(&sentinel);
    EXPECT_EQ(tzo_fi_key_read("", 0, &key), TZO_FI_NO_SIGNATURES);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(tzo_fi_key_read(nullptr, 1, &key), TZO_FI_INVALID_ARGUMENT);
    const tzo_fi_source none = {nullptr, nullptr, 0};
    tzo_fi_data* data = nullptr;
    ASSERT_EQ(tzo_fi_data_read(&none, &data, nullptr), TZO_FI_OK);
    EXPECT_EQ(tzo_fi_data_verify(data, nullptr, 0), TZO_FI_NO_SIGNATURES);
    EXPECT_EQ(tzo_fi_data_verify(data, nullptr, 1), TZO_FI_INVALID_ARGUMENT);
    tzo_fi_data_free(data);
}
#endif

// Data beyond 16 MiB is refused; memory running out while reading is a code like any other.
TEST(CApi, GivesTooMuchDataAndRunningOutOfMemoryTheirCodes) {
    std::string data((16 << 20) + 1, 'x');
    const tzo_fi_source source = {nullptr, data.data(), data.size()};
    tzo_fi_section* section = kUnsetSection;
    EXPECT_EQ(tzo_fi_section_read(&source, "", 0, &section, nullptr), TZO_FI_TOO_MUCH_DATA);
    // Reading the line of 16 MiB needs twice that.
    const int status = test::statusInLittleRoom(
        [&]() noexcept { return tzo_fi_section_read(&source, "", 0, &section, nullptr); });
    if (status == test::kNoLimit)
        GTEST_SKIP() << "the address space cannot be limited here";
    EXPECT_EQ(status, TZO_FI_OUT_OF_MEMORY);
}

// The sample's sum as the crypto library fails to compute it with `fault`: as C++ reports it,
// and the code that C gets, with no result left behind.
template <typename CppFailure, typename Fault>
void expectCryptoFailure(Fault fault, const char* message, int code) {
    cryptoFault = std::make_exception_ptr(fault);
    std::ifstream sample(TZO_SAMPLE);
    try {
        tzo::factoryinfo::FactoryInfo info(sample);
        ADD_FAILURE() << "no exception";
    } catch (const CppFailure& failure) {
        EXPECT_STREQ(failure.what(), message);
    }
    const tzo_fi_source source = {TZO_SAMPLE, nullptr, 0};
    tzo_fi_info* info = kUnsetInfo;
    EXPECT_EQ(tzo_fi_info_read(&source, &info, nullptr), code);
    EXPECT_EQ(info, nullptr);
    cryptoFault = nullptr;
}

// Memory running out inside the crypto library is out of memory, as anywhere else.
TEST(CApi, GivesMemoryRunningOutInTheCryptoLibraryAsOutOfMemory) {
    expectCryptoFailure<std::bad_alloc>(std::bad_alloc(), "std::bad_alloc", TZO_FI_OUT_OF_MEMORY);
}

// Any other failure of the crypto library is its own, never a verdict on the data.
TEST(CApi, GivesOtherFailuresOfTheCryptoLibraryTheirOwnCode) {
    expectCryptoFailure<std::invalid_argument>(std::runtime_error("no digest engine"),
                                               "crypto library failed to compute SHA-256",
                                               TZO_FI_CRYPTO_FAILED);
}

void* readUntilCancelled(void* path) {
    const tzo_fi_source source = {static_cast<const char*>(path), nullptr, 0};
    tzo_fi_info* info = nullptr;
    tzo_fi_info_read(&source, &info, nullptr);
    return nullptr;
}

// A thread cancelled while it waits for data unwinds out of the library: swallowing the unwinding
// would abort the process.
TEST(CApi, LetsAThreadWaitingForDataBeCancelled) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer fails its own check when a cancelled thread unwinds";
#endif
    const std::string fifo = ::testing::TempDir() + "tzo-fi-cancel-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR); // there is a writer, and it writes nothing
    ASSERT_GE(writer, 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, nullptr, readUntilCancelled, const_cast<char*>(fifo.c_str())),
              0);
    pthread_cancel(thread);
    void* result = nullptr;
    pthread_join(thread, &result);
    close(writer);
    unlink(fifo.c_str());
    EXPECT_EQ(result, PTHREAD_CANCELED);
}

} // namespace
