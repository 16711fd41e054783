// Parsing a description must cost no more than reading its tokens with the standard streams;
// value conversion runs for every value of every reply.
#include "description/DescriptionParser.h"
#include "description/ValueTypes.h"
#include "parameters/ParameterTable.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace morvik;
namespace fs = std::filesystem;

struct Targets {
    DescriptionCache cache;
    DescriptionCache& get() { return cache; }
};

std::string classLine(int number, int instances, int first, int last) {
    return "Class \t" + std::to_string(number) + " \tinstance = " + std::to_string(instances) +
           " \tstart = " + std::to_string(first) + " \tend = " + std::to_string(last) + "\n";
}

std::string entry(const std::string& address, int index, const std::string& className) {
    static const char* const kTypes[] = {"int",           "unsigned_long", "IP",  "*char", "FLAG",
                                         "unsigned_char", "long",          "MAC", "float"};
    static const char* const kSizes[] = {"2", "4", "4", "16", "1", "1", "4", "6", "4"};
    const std::size_t type = static_cast<std::size_t>(index) % 9;
    std::string text = address + "\t" + kTypes[type] + "\t" + className + "\tParameter_number_" +
                       std::to_string(index) + "\t" + (index % 11 == 0 ? "HIDDEN" : "R/W") + "\t" +
                       kSizes[type] + "\t" + (index % 4 == 0 ? "ms" : "<none>");
    const bool defined = index % 5 == 0 && type != 4;
    text += defined ? "\t2\t\n\t===== Defined Values =====  \n\t[0]\tDisabled \n\t[1]\tDefault \n"
                    : "\t0\t\n";
    if (type == 4) {
        text += "\t===== Enumeration =====  size :\t 3\n\t[00]\tOff \n\t[01]\tOn \n\t[02]\tAuto \n";
    }
    return text;
}

// 700 rows as the largest products have them: 200 system rows, 16 ports of 20 rows, 180 more.
std::string sevenHundredRowText() {
    std::string text = "<version>\tOrion16\t3.10\t61\n<common>\n";
    text += classLine(0, 1, 0, 199) + classLine(1, 16, 200, 219) + classLine(2, 1, 520, 699);
    for (int number = 3; number < 10; ++number) {
        text += classLine(number, 0, 0, -1);
    }
    text += "<parameters>\n";
    int index = 0;
    for (int row = 1; row <= 200; ++row) {
        text += entry("1." + std::to_string(row) + ".0", index++,
                      "System/General_" + std::to_string(row / 40));
    }
    for (int row = 1; row <= 20; ++row) {
        text += entry("3." + std::to_string(row) + ".0", index++, "Port_[inst]/Serial");
    }
    for (int row = 1; row <= 180; ++row) {
        text += entry("5." + std::to_string(row) + ".0", index++, "Network/Route");
    }
    return text + "<END>\n";
}

struct BenchFiles {
    fs::path directory;
    std::string generated;
    std::string demo;
    BenchFiles() {
        char pattern[] = "/tmp/morvik-description-bench-XXXXXX";
        if (const char* made = mkdtemp(pattern)) {
            directory = made;
            generated = (directory / "Orion16_3.10.dcf").string();
            std::ofstream(generated, std::ios::binary) << sevenHundredRowText();
        }
        const fs::path demoFile = fs::path(MORVIK_DEMO_DATA_DIR) / "Orion16_3.10.dcf";
        if (fs::exists(demoFile)) {
            demo = demoFile.string();
        }
    }
    ~BenchFiles() {
        std::error_code ignored;
        fs::remove_all(directory, ignored);
    }
};

BenchFiles& files() {
    static BenchFiles held;
    return held;
}

void parseFile(benchmark::State& state, const std::string& path) {
    Targets targets;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parseDescription(path, 61, 3, 10, targets.get()));
    }
    state.counters["rows"] = static_cast<double>(targets.cache.current().rows().size());
}

void readTokens(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        std::ifstream file(path);
        std::string token;
        std::size_t count = 0;
        while (file >> token) {
            ++count;
        }
        benchmark::DoNotOptimize(count);
    }
}

void valuesToText(benchmark::State& state) {
    Targets targets;
    parseDescription(files().generated, 61, 3, 10, targets.get());
    const auto& rows = targets.cache.current().rows();
    const std::vector<std::uint8_t> bytes = {0x00, 0x01, 0xC0, 0xA8, 0x01, 0x02, 'a', 'b',
                                             'c',  0,    0,    0,    0,    0,    0,   0};
    for (auto _ : state) {
        for (std::size_t index = 0; index < rows.size(); ++index) {
            const auto size =
                std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(rows[index].size));
            benchmark::DoNotOptimize(
                valueToText(rows[index], rows[index].definedValues, rows[index].enumeration,
                            std::span(bytes).first(size), ByteOrder::MostSignificantFirst));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rows.size()));
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Best of several rounds of processor time, so that the ratio does not depend on the other
// work of a shared machine.
template <typename Work>
double bestSeconds(Work work) {
    double best = 1e9;
    for (int round = 0; round < 9; ++round) {
        const double start = cpuSeconds();
        for (int repeat = 0; repeat < 50; ++repeat) {
            work();
        }
        best = std::min(best, (cpuSeconds() - start) / 50);
    }
    return best;
}

void reportRatio(const std::string& label, const std::string& path) {
    Targets targets;
    const double parse = bestSeconds([&] { parseDescription(path, 61, 3, 10, targets.get()); });
    const double tokens = bestSeconds([&] {
        std::ifstream file(path);
        std::string token;
        std::size_t count = 0;
        while (file >> token) {
            ++count;
        }
        benchmark::DoNotOptimize(count);
    });
    std::printf(
        "%s: parse %.1f us, ifstream tokens %.1f us (processor time), ratio %.2f (%zu rows)\n",
        label.c_str(), parse * 1e6, tokens * 1e6, parse / tokens,
        targets.cache.current().rows().size());
}

// Every description at hand parsed into one cache, as a long session would end up.
void reportMemory() {
    Targets targets;
    std::vector<std::string> paths = {files().generated};
    if (fs::is_directory(MORVIK_DEMO_DATA_DIR)) {
        for (const auto& item : fs::directory_iterator(MORVIK_DEMO_DATA_DIR)) {
            if (item.path().extension() == ".dcf") {
                paths.push_back(item.path().string());
            }
        }
    }
    int parsed = 0;
    std::size_t rows = 0;
    for (const std::string& path : paths) {
        if (parseDescription(path, parsed, 1, 0, targets.get()).parsed()) {
            rows += targets.cache.current().rows().size();
            ++parsed;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%d descriptions, %zu rows: %zu bytes held, %zu bytes per description; "
                "parameter list %zu bytes; peak RSS %ld kB\n",
                parsed, rows, targets.cache.memoryFootprint(),
                parsed > 0 ? targets.cache.memoryFootprint() / static_cast<std::size_t>(parsed) : 0,
                sizeof(ParameterTable), usage.ru_maxrss);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("ParseDescription/generated700", [](benchmark::State& state) {
        parseFile(state, files().generated);
    });
    benchmark::RegisterBenchmark("IfstreamTokens/generated700", [](benchmark::State& state) {
        readTokens(state, files().generated);
    });
    if (!files().demo.empty()) {
        benchmark::RegisterBenchmark("ParseDescription/demoOrion16", [](benchmark::State& state) {
            parseFile(state, files().demo);
        });
        benchmark::RegisterBenchmark("IfstreamTokens/demoOrion16", [](benchmark::State& state) {
            readTokens(state, files().demo);
        });
    } else {
        std::printf("%s/Orion16_3.10.dcf is absent: measuring the generated file only\n",
                    MORVIK_DEMO_DATA_DIR);
    }
    benchmark::RegisterBenchmark("ValueToText/700mixed", valuesToText);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    reportRatio("generated 700 rows", files().generated);
    if (!files().demo.empty()) {
        reportRatio("demo Orion16 3.10", files().demo);
    }
    reportMemory();
    return 0;
}
