// Timings of the reading path next to the least work that any reader of the same data must do.
//
// Every case runs on factory data of 4 KiB, 64 KiB and 1 MiB whose sections of interest
// ("Factoryinfo", the section read by Section, and "Checksum") stand last, behind filler
// sections, so that each search for them runs over all the data. The data lies in a temporary
// file that each iteration opens again through FactoryData, as a device program does.
//
// The floors are reading the file once with read(2), splitting it into lines once with memchr,
// and one SHA-256 of the summed section text. After the usual console output the program prints
// Markdown tables: the medians (or single runs), each case as a ratio to its floor; the scaling
// with the data size; and the bytes and read(2) calls that each construction reads of the file.
#include <tzo/crypto.hpp>
#include <tzo/factoryinfo.hpp>

#include "read_count.hpp"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fi = tzo::factoryinfo;

constexpr char kSectionName[] = "RadioCalibration";
constexpr std::size_t kFillerLinesPerSection = 32;

// Factory data of one size, and the temporary file that holds it.
struct BenchData {
    std::string label;           // "4KiB", ...
    std::string text;            // the whole data
    std::string factoryInfoText; // the section text of "Factoryinfo"
    std::string sectionText;     // the section text of kSectionName
    std::string path;            // the temporary file
};

// Returns the SHA-256 of `text` as the library computes it.
std::string sha256Of(const std::string& text) {
    return tzo::crypto::calculateSha256(reinterpret_cast<const std::uint8_t*>(text.data()),
                                        static_cast<std::uint32_t>(text.size()));
}

// Returns `count` hexadecimal digits that differ from line to line (`seed`).
std::string hexDigits(std::size_t count, std::uint32_t seed) {
    std::string digits;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        digits += "0123456789abcdef"[seed >> 28];
    }
    return digits;
}

// Returns a section named `name` holding `body`.
std::string sectionOf(const std::string& name, const std::string& body) {
    return "BeginOf" + name + "\n" + body + "EndOf" + name + "\n";
}

// Returns the sections read by the cases, Checksum last, with the section texts in `data`.
std::string tailSections(BenchData& data) {
    data.factoryInfoText = "SerialNumber=GW4-2026-004711\n"
                           "MacAddress=00:1A:2B:3C:4D:5E\n"
                           "HardwareRevision=C2\n"
                           "ProductName=TZO Gateway 4\n"
                           "ProductionDate=2026-03-14\n"
                           "ProductionSite=Plant 2, Line 7\n";
    data.sectionText.clear();
    for (std::uint32_t channel = 1; channel <= 8; ++channel) {
        data.sectionText +=
            "Channel" + std::to_string(channel) + "=" + hexDigits(32, channel) + "\n";
    }
    const std::string checksums =
        "FactoryinfoType=sha256\nFactoryinfoSum=" + sha256Of(data.factoryInfoText) + "\n" +
        kSectionName + "Type=sha256\n" + kSectionName + "Sum=" + sha256Of(data.sectionText) + "\n";
    return sectionOf("Factoryinfo", data.factoryInfoText) +
           sectionOf(kSectionName, data.sectionText) + sectionOf("Checksum", checksums) +
           "EndOfData\n";
}

// Returns filler sections of at most `size` bytes and less than one line short of it, of
// key/value lines of 33 bytes, kFillerLinesPerSection to a section.
std::string fillerSections(std::size_t size) {
    std::string filler;
    for (std::uint32_t section = 0;; ++section) {
        const std::string name = "Block" + std::to_string(1000 + section);
        const std::size_t markers = sectionOf(name, "").size();
        std::string body;
        for (std::uint32_t line = 0; line < kFillerLinesPerSection; ++line) {
            const std::string next = "Param" + std::to_string(10 + line) + "=" +
                                     hexDigits(24, section * 64 + line) + "\n";
            if (filler.size() + markers + body.size() + next.size() > size) {
                return body.empty() ? filler : filler + sectionOf(name, body);
            }
            body += next;
        }
        filler += sectionOf(name, body);
    }
}

// Returns the path of a new temporary file holding `text`; exits when it cannot be written.
std::string writeTemporaryFile(const std::string& text) {
    const char* directory = std::getenv("TMPDIR");
    std::string path = std::string(directory ? directory : "/tmp") + "/factoryinfo-bench-XXXXXX";
    const int fd = mkstemp(&path[0]);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::perror("factoryinfo-bench: temporary file");
        std::exit(1);
    }
    close(fd);
    return path;
}

// Returns factory data of about `size` bytes, written to a temporary file.
std::unique_ptr<BenchData> makeFactoryData(std::size_t size, const char* label) {
    auto data = std::make_unique<BenchData>();
    data->label = label;
    const std::string tail = tailSections(*data);
    data->text = fillerSections(size > tail.size() ? size - tail.size() : 0) + tail;
    data->path = writeTemporaryFile(data->text);
    return data;
}

// ----- the cases -----

// FactoryInfo constructed from the file.
void factoryInfoCase(benchmark::State& state, const BenchData* data) {
    for (auto _ : state) {
        fi::FactoryData device(data->path);
        const fi::FactoryInfo info(device.stream());
        benchmark::DoNotOptimize(info.isChecksumValid());
    }
}

// Section constructed from the file.
void sectionCase(benchmark::State& state, const BenchData* data) {
    for (auto _ : state) {
        fi::FactoryData device(data->path);
        const fi::Section section(device.stream(), kSectionName);
        benchmark::DoNotOptimize(section.isChecksumValid());
    }
}

// checksumSection of "Factoryinfo" on the freshly opened file.
void checksumCase(benchmark::State& state, const BenchData* data) {
    for (auto _ : state) {
        fi::FactoryData device(data->path);
        benchmark::DoNotOptimize(fi::checksumSection(device.stream(), "Factoryinfo"));
    }
}

// One getLine pass over all the data of the freshly opened file.
void getLineCase(benchmark::State& state, const BenchData* data) {
    for (auto _ : state) {
        fi::FactoryData device(data->path);
        std::string line;
        std::size_t lines = 0;
        while (fi::getLine(device.stream(), line)) {
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
}

// ----- the floors -----

// The file opened, read whole with read(2) into a buffer, and closed.
void readFloor(benchmark::State& state, const BenchData* data) {
    std::vector<char> buffer(data->text.size() + 1);
    for (auto _ : state) {
        const int fd = open(data->path.c_str(), O_RDONLY);
        std::size_t filled = 0;
        for (ssize_t n; (n = read(fd, buffer.data() + filled, buffer.size() - filled)) > 0;) {
            filled += static_cast<std::size_t>(n);
        }
        close(fd);
        benchmark::DoNotOptimize(filled);
    }
}

// The data, already in memory, split into lines with memchr.
void splitFloor(benchmark::State& state, const BenchData* data) {
    const char* const end = data->text.data() + data->text.size();
    for (auto _ : state) {
        std::size_t lines = 0;
        for (const char* line = data->text.data(); line < end; ++lines) {
            const void* lf = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
            line = lf ? static_cast<const char*>(lf) + 1 : end;
        }
        benchmark::DoNotOptimize(lines);
    }
}

// One SHA-256 of `text`.
void sha256Floor(benchmark::State& state, const std::string* text) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(sha256Of(*text));
    }
}

// ----- the report -----

// Collects the time of each run, the median when there are repetitions, by its name.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    // Colours the console output only on a terminal.
    MedianCollector() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((single || median) && !run.error_occurred) {
                m_microseconds[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
    }

    // Returns the time of case `name` on `data` in microseconds, or -1 when it did not run.
    double microseconds(const std::string& name, const BenchData& data) const {
        const auto found = m_microseconds.find(name + "/" + data.label);
        return found == m_microseconds.end() ? -1 : found->second;
    }

private:
    std::map<std::string, double> m_microseconds;
};

// One row of the table: a case and the floors whose sum is its floor.
struct Row {
    const char* name;
    std::vector<const char*> floors;
};

// Returns the sum of the times of `names` on `data`, or -1 when one did not run.
double sumOf(const MedianCollector& times, const std::vector<const char*>& names,
             const BenchData& data) {
    double sum = 0;
    for (const char* name : names) {
        const double time = times.microseconds(name, data);
        if (time < 0) {
            return -1;
        }
        sum += time;
    }
    return sum;
}

// Prints the Markdown tables of ratios to floors and of the scaling from the first to the last
// data size.
void printTables(const MedianCollector& times,
                 const std::vector<std::unique_ptr<BenchData>>& sizes) {
    const std::vector<Row> rows = {
        {"FactoryInfo", {"read(2)", "memchr split", "SHA-256 Factoryinfo"}},
        {"Section", {"read(2)", "memchr split", "SHA-256 section"}},
        {"checksumSection", {"read(2)", "memchr split", "SHA-256 Factoryinfo"}},
        {"getLine pass", {"read(2)", "memchr split"}},
        {"read(2)", {}},
        {"memchr split", {}},
        {"SHA-256 Factoryinfo", {}},
        {"SHA-256 section", {}},
    };
    std::printf("\n| case | size | time (us) | floor (us) | ratio |\n|---|---|--:|--:|--:|\n");
    for (const Row& row : rows) {
        for (const auto& data : sizes) {
            const double time = times.microseconds(row.name, *data);
            const double floor = sumOf(times, row.floors, *data);
            if (time < 0 || row.floors.empty() || floor <= 0) {
                if (time >= 0) {
                    std::printf("| %s | %s | %.2f | | |\n", row.name, data->label.c_str(), time);
                }
                continue;
            }
            std::printf("| %s | %s | %.2f | %.2f | %.2f |\n", row.name, data->label.c_str(), time,
                        floor, time / floor);
        }
    }

    const BenchData& first = *sizes.front();
    const BenchData& last = *sizes.back();
    std::printf("\nScaling from %s to %s (%.0fx the data):\n\n| case | ratio |\n|---|--:|\n",
                first.label.c_str(), last.label.c_str(),
                static_cast<double>(last.text.size()) / static_cast<double>(first.text.size()));
    for (const Row& row : rows) {
        const double small = times.microseconds(row.name, first);
        const double large = times.microseconds(row.name, last);
        if (small > 0 && large > 0) {
            std::printf("| %s | %.1f |\n", row.name, large / small);
        }
    }

    std::printf("\nTargets:\n\n| size | FactoryInfo / getLine pass | getLine pass / memchr split |"
                "\n|---|--:|--:|\n");
    for (const auto& data : sizes) {
        const double pass = times.microseconds("getLine pass", *data);
        if (pass < 0 || times.microseconds("FactoryInfo", *data) < 0 ||
            times.microseconds("memchr split", *data) < 0) {
            continue;
        }
        std::printf("| %s | %.2f | %.2f |\n", data->label.c_str(),
                    times.microseconds("FactoryInfo", *data) / pass,
                    pass / times.microseconds("memchr split", *data));
    }
}

// ----- flash reads -----

// Returns what constructing FactoryInfo and Section reads of the file `path`, in this order, as
// the objects open the device, or through a std::ifstream with its default buffer.
std::vector<std::optional<fi::test::ReadCount>> readsOfObjects(const std::string& path,
                                                               bool asDevice) {
    const auto construct = [&path, asDevice](auto readObject) {
        return fi::test::readCountOf([&] {
            if (asDevice) {
                fi::FactoryData device(path);
                readObject(device.stream());
            } else {
                std::ifstream file(path, std::ios_base::binary);
                readObject(file);
            }
        });
    };
    return {construct([](std::istream& in) { fi::FactoryInfo info(in); }),
            construct([](std::istream& in) { fi::Section section(in, kSectionName); })};
}

// Prints the bytes and read calls that reach the file per construction, for the 4 KiB data at
// the start of a 64 KiB partition whose erased rest reads as 0xff, and for the largest data.
void printFlashReads(const std::vector<std::unique_ptr<BenchData>>& sizes) {
    const BenchData& small = *sizes.front();
    const std::string partition =
        writeTemporaryFile(small.text + std::string(64 * 1024 - small.text.size(), '\xff'));
    const struct {
        std::string label;
        std::string path;
        std::size_t dataSize;
    } images[] = {{small.label + " data in a 64 KiB partition", partition, small.text.size()},
                  {sizes.back()->label + " data", sizes.back()->path, sizes.back()->text.size()}};

    std::printf("\nReads per construction (three passes each):\n\n"
                "| image | data bytes | stream | object | bytes read | read calls |\n"
                "|---|--:|---|---|--:|--:|\n");
    for (const auto& image : images) {
        for (const bool asDevice : {true, false}) {
            const auto counts = readsOfObjects(image.path, asDevice);
            const char* objects[] = {"FactoryInfo", "Section"};
            for (std::size_t i = 0; i < counts.size(); ++i) {
                if (!counts[i]) {
                    std::printf("(no read counts in /proc/thread-self/io)\n");
                    return;
                }
                std::printf("| %s | %zu | %s | %s | %lld | %lld |\n", image.label.c_str(),
                            image.dataSize, asDevice ? "FactoryData" : "std::ifstream", objects[i],
                            counts[i]->bytes, counts[i]->calls);
            }
        }
    }
    unlink(partition.c_str());
}

// Registers every case and floor on `data` under "name/size".
void registerAll(const BenchData& data) {
    const auto add = [&data](const char* name, auto function, const auto* argument) {
        benchmark::RegisterBenchmark((std::string(name) + "/" + data.label).c_str(), function,
                                     argument)
            ->Unit(benchmark::kMicrosecond);
    };
    add("FactoryInfo", factoryInfoCase, &data);
    add("Section", sectionCase, &data);
    add("checksumSection", checksumCase, &data);
    add("getLine pass", getLineCase, &data);
    add("read(2)", readFloor, &data);
    add("memchr split", splitFloor, &data);
    add("SHA-256 Factoryinfo", sha256Floor, &data.factoryInfoText);
    add("SHA-256 section", sha256Floor, &data.sectionText);
}

// Returns true when both objects read `data` and verify their sums, as every case assumes.
bool readsAndVerifies(const BenchData& data) {
    fi::FactoryData infoDevice(data.path);
    fi::FactoryData sectionDevice(data.path);
    return fi::FactoryInfo(infoDevice.stream()).isChecksumValid() &&
           fi::Section(sectionDevice.stream(), kSectionName).dump() == data.sectionText;
}

} // namespace

// Runs the benchmarks with Google Benchmark's command line, then prints the tables.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }

    std::vector<std::unique_ptr<BenchData>> sizes;
    sizes.push_back(makeFactoryData(4 * 1024, "4KiB"));
    sizes.push_back(makeFactoryData(64 * 1024, "64KiB"));
    sizes.push_back(makeFactoryData(1024 * 1024, "1MiB"));

    int status = 0;
    for (const auto& data : sizes) {
        if (!readsAndVerifies(*data)) {
            std::fprintf(stderr, "factoryinfo-bench: the %s data does not verify\n",
                         data->label.c_str());
            status = 1;
        }
        registerAll(*data);
    }

    if (status == 0) {
        MedianCollector times;
        benchmark::RunSpecifiedBenchmarks(&times);
        printTables(times, sizes);
        printFlashReads(sizes);
    }
    for (const auto& data : sizes) {
        unlink(data->path.c_str());
    }
    benchmark::Shutdown();
    return status;
}
