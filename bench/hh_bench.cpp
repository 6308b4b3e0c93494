// Unpacking the largest help files of the corpus into a fresh folder, as quillet-hh does for the
// converter. The corpus folder is $QUILLET_CORPUS, else shared/corpus beside the checkout.

#include "hh/chm_unpacker.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path corpusFolder() {
    if (const char* value = std::getenv("QUILLET_CORPUS"); value != nullptr && *value != '\0')
        return value;
    return fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "corpus";
}

void unpackCorpusFile(benchmark::State& state, const char* name) {
    const fs::path file = corpusFolder() / name;
    if (!fs::is_regular_file(file)) {
        state.SkipWithError(("no corpus file " + file.string()).c_str());
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "quillet-hh-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        state.SkipWithError("cannot create a temporary folder");
        return;
    }
    const fs::path root = pattern;
    quillet::UnpackResult result;
    int run = 0;
    for (auto _ : state) {
        const fs::path out = root / std::to_string(run++);
        result = quillet::unpackHelpFile(file, out);
        state.PauseTiming();
        fs::remove_all(out);
        state.ResumeTiming();
    }
    fs::remove_all(root);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(result.byteCount));
    state.counters["files"] = static_cast<double>(result.fileCount);
}

BENCHMARK_CAPTURE(unpackCorpusFile, sandcastle_1_6MB, "en-sandcastle-bom-hhc-pfe.chm")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(unpackCorpusFile, autohotkey_v2_2MB, "en-no-hhc-js-toc-autohotkey-v2.chm")
    ->Unit(benchmark::kMillisecond);

}  // namespace
