// Reading a help file's system information: the scan for the version record over the bytes of
// a large file, with the record near its end (the slowest case).

#include "platform/utf.h"
#include "project/chm_decompile.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace quillet {
namespace {

std::string le16(int v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

void BM_LoadFromCHM_16MB(benchmark::State& state) {
    constexpr std::size_t kSize = 16u << 20;
    std::mt19937 random(42);
    std::string bytes(kSize, '\0');
    for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
    // Plenty of false starts: "HHA" without the version record's code before it.
    for (std::size_t i = 1000; i + 3 < kSize; i += 4096) bytes.replace(i, 3, "HHA");
    const std::string version = "HHA Version 4.74.8702";
    const std::string records = le16(9) + le16(21) + version + le16(4) + le16(16) + le16(0x0804) +
                                std::string(14, '\0') + le16(2) + le16(6) + "a.htm" + '\0' +
                                le16(3) + le16(5) + "Help" + '\0';
    bytes.replace(kSize - records.size() - 100, records.size(), records);
    const auto path = std::filesystem::temp_directory_path() / "quillet-bench-16mb.chm";
    std::ofstream(path, std::ios::binary) << bytes;

    for (auto _ : state) {
        TCHMDecompile project;
        project.LoadFromCHM(fromPath(path));
        benchmark::DoNotOptimize(project.Title);
        if (project.Title != u"Help") state.SkipWithError("record not found");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
    std::filesystem::remove(path);
}

BENCHMARK(BM_LoadFromCHM_16MB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet
