// The sample factory data of examples/, and a few realistic variants of it, for the tests that
// read the same data many times over.
#ifndef TZO_FACTORYINFO_SAMPLE_DATA_HPP
#define TZO_FACTORYINFO_SAMPLE_DATA_HPP

#include <fstream>
#include <iterator>
#include <string>

namespace tzo::factoryinfo::test {

// Returns the content of examples/factory-data.txt (TZO_SAMPLE_FACTORY_DATA names it).
inline std::string sampleData() {
    std::ifstream file(TZO_SAMPLE_FACTORY_DATA, std::ios_base::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Returns `data` with the first `from` replaced by `to`.
inline std::string replaced(std::string data, const std::string& from, const std::string& to) {
    const std::string::size_type at = data.find(from);
    return at == std::string::npos ? data : data.replace(at, from.size(), to);
}

} // namespace tzo::factoryinfo::test

#endif // TZO_FACTORYINFO_SAMPLE_DATA_HPP
