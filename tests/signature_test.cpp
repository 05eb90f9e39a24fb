// The signature check where the cases do not take it: on data that a device fails to read, on
// data that changes after the read, and when memory runs out. What it gives for data and keys is
// in the cases of tests/cases/ (tool-keys/), through C++ and C alike.
#include "signature.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>

namespace {
int allocationsLeft = -1; // how many allocations succeed before one fails; -1: all of them
} // namespace

// Every allocation of the process: the one after allocationsLeft fails, and no other.
void* operator new(std::size_t size) {
    if (allocationsLeft >= 0 && allocationsLeft-- == 0)
        throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace tzo::factoryinfo::test {
namespace {

// The data of the case that the station's key signed.
std::string signedData() {
    std::ifstream file(TZO_CASES_DIR "/tool-keys/verify-signed", std::ios_base::binary);
    std::string arguments;
    std::getline(file, arguments);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A second line BeginOfSignature may follow anywhere, so a read fault anywhere before the end
// of the data is the read error, even where every section that the check reads stands before
// it.
TEST(Signature, ReadFaultBeforeTheEndOfTheDataIsTheReadError) {
    const std::string data = signedData();
    const std::vector<PublicKey> keys = tool::readPublicKeys({"tests/keys/station.pub"});
    const Read check = [&](std::istream& in) {
        verifySignature(in, keys);
        return std::string("verified");
    };
    EXPECT_EQ(outcomeOf(data, check), "verified");
    for (std::size_t fault = 0; fault < data.size(); ++fault)
        ASSERT_EQ(outcomeOf(data, check, fault), "!error reading factory data") << fault;
}

// Returns a C handle of the station's public key.
tzo_fi_key* stationKey() {
    std::ifstream file("tests/keys/station.pub");
    const std::string pem{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    tzo_fi_key* key = nullptr;
    EXPECT_EQ(tzo_fi_key_read(pem.data(), pem.size(), &key), TZO_FI_OK);
    return key;
}

// What the check has passed is what the objects are made of: a file rewritten, or memory
// changed, after the read does not reach them.
TEST(Signature, ChecksAndObjectsSeeOneSnapshot) {
    std::string data = signedData();
    const std::string forged = std::string(data).replace(data.find("004711"), 6, "999999");
    const std::string path = testing::TempDir() + "tzo-fi-snapshot-" + std::to_string(getpid());
    std::ofstream(path, std::ios_base::binary) << data;
    FactoryData file(path);
    file.verifySignature(tool::readPublicKeys({"tests/keys/station.pub"}));
    std::ofstream(path, std::ios_base::binary) << forged;
    EXPECT_EQ(FactoryInfo(file.stream())["SerialNumber"], "GW4-2026-004711");
    std::remove(path.c_str());

    const tzo_fi_source source = {nullptr, data.data(), data.size()};
    tzo_fi_data* read = nullptr;
    tzo_fi_info* info = nullptr;
    tzo_fi_key* key = stationKey();
    const char* serial = nullptr;
    std::size_t size = 0;
    ASSERT_EQ(tzo_fi_data_read(&source, &read, nullptr), TZO_FI_OK);
    data.replace(0, data.size(), forged); // the same bytes of memory, now forged
    EXPECT_EQ(tzo_fi_data_verify(read, &key, 1), TZO_FI_OK);
    ASSERT_EQ(tzo_fi_data_info(read, &info), TZO_FI_OK);
    tzo_fi_info_get(info, "SerialNumber", 12, &serial, &size);
    EXPECT_EQ(std::string(serial, size), "GW4-2026-004711");
    tzo_fi_info_free(info);
    tzo_fi_key_free(key);
    tzo_fi_data_free(read);
}

// A check that cannot run for lack of memory says so, at whichever allocation it fails, never
// that the data was forged. The C API passes on what the C++ API throws.
TEST(Signature, RunningOutOfMemoryIsNotAForgery) {
    const std::string data = signedData();
    const tzo_fi_source source = {nullptr, data.data(), data.size()};
    tzo_fi_data* read = nullptr;
    tzo_fi_key* key = stationKey();
    ASSERT_EQ(tzo_fi_data_read(&source, &read, nullptr), TZO_FI_OK);
    int code = TZO_FI_OUT_OF_MEMORY;
    for (int succeeding = 0; code == TZO_FI_OUT_OF_MEMORY; ++succeeding) {
        allocationsLeft = succeeding;
        code = tzo_fi_data_verify(read, &key, 1);
        allocationsLeft = -1;
        ASSERT_NE(succeeding, 1000) << "the check never ran to its end";
    }
    EXPECT_EQ(code, TZO_FI_OK);
    tzo_fi_key_free(key);
    tzo_fi_data_free(read);
}

} // namespace
} // namespace tzo::factoryinfo::test
