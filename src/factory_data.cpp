// Factory data read once, from a device, a file, a pipe or memory.
#include "tzo/factoryinfo.hpp"

#include "messages.hpp"
#include "read_once.hpp"
#include "source.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace tzo::factoryinfo {

// A source, the stream that reads it once, and the descriptor opened for them, if any. Hidden:
// it belongs to the library alone, though it is named in the public class.
class __attribute__((visibility("hidden"))) FactoryData::Reader {
public:
    // Reads `source`, and closes `opened` when it is destroyed, unless it is -1.
    Reader(std::unique_ptr<detail::Source> source, int opened);
    ~Reader();

    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Returns the stream over the data.
    std::istream& stream() { return m_data.stream(); }

private:
    int m_opened;
    std::unique_ptr<detail::Source> m_source;
    detail::ReadOnceStream m_data; // reads m_source, so it goes after it
};

FactoryData::Reader::Reader(std::unique_ptr<detail::Source> source, int opened)
    : m_opened(opened), m_source(std::move(source)), m_data(*m_source) {}

FactoryData::Reader::~Reader() {
    if (m_opened != -1) {
        close(m_opened);
    }
}

FactoryData::FactoryData(const std::string& path) : m_reader(nullptr) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor == -1) {
        throw ReadError(detail::messageOf(TZO_FI_OPEN_FAILED), errno);
    }
    try {
        m_reader = new Reader(detail::descriptorSource(descriptor), descriptor);
    } catch (...) {
        close(descriptor);
        throw;
    }
}

FactoryData::FactoryData(int descriptor)
    : m_reader(new Reader(detail::descriptorSource(descriptor), -1)) {}

FactoryData::FactoryData(const char* data, std::size_t size)
    : m_reader(new Reader(detail::memorySource(data, size), -1)) {}

FactoryData::~FactoryData() {
    delete m_reader;
}

std::istream& FactoryData::stream() {
    return m_reader->stream();
}

const PublicKey& FactoryData::verifySignature(const std::vector<PublicKey>& keys) {
    return tzo::factoryinfo::verifySignature(stream(), keys);
}

} // namespace tzo::factoryinfo
