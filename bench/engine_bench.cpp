// The document engine under the Word stage's load: 10,000 headings with 10 paragraphs each,
// built through the automation interface as the stage adds entries, then saved as .docx. The
// peak resident memory before and after saving shows what saving adds to it.
#include "automation/class_registry.h"
#include "engine/word_engine.h"
#include "platform/utf.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

using namespace quillet;

constexpr int kHeadings = 10000;
constexpr int kParagraphsPerHeading = 10;

// The peak resident memory of the process so far, in MB.
double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void addEntry(const Object& doc, const Object& insertRange, int n) {
    Object r = insertRange;
    r.call(u"collapse", {0});
    r.put(u"style", -(n % 3 + 2));
    r.call(u"InsertAfter", {u"Heading number " + fromUtf8(std::to_string(n))});
    r.put(u"style", -(n % 3 + 2));
    r = doc.at(u"Bookmarks")
            .at(u"Add", {u"Bookmark" + fromUtf8(std::to_string(n)), r})
            .at(u"range");
    r.call(u"collapse", {0});
    r.call(u"InsertParagraphAfter");
    r.call(u"collapse", {0});
    r.put(u"Style", -1);
    for (int p = 0; p < kParagraphsPerHeading; ++p) {
        r.call(u"InsertAfter",
               {u"A paragraph of body text, long enough to look like a sentence in a help topic."});
        r.call(u"InsertParagraphAfter");
        r.call(u"collapse", {0});
    }
    insertRange.call(u"SetRange", {r.get(u"Start"), r.get(u"End")});
}

void BM_BuildAndSaveLargeDocument(benchmark::State& state) {
    engine::registerWordEngine();
    const auto path = std::filesystem::temp_directory_path() / "quillet-engine-bench.docx";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const Object word = CreateObject(u"Word.Application");
        const Object doc = word.at(u"Documents").at(u"Add");
        const Object insertRange = doc.at(u"Content");
        for (int n = 0; n < kHeadings; ++n) addEntry(doc, insertRange, n);
        const auto built = std::chrono::steady_clock::now();
        const double peakBuilt = peakMegabytes();
        doc.call(u"SaveAs",
                 {fromPath(path), named(u"FileFormat", 12), named(u"AddToRecentFiles", false)});
        const auto saved = std::chrono::steady_clock::now();
        word.call(u"Quit", {false});
        state.counters["build_s"] = std::chrono::duration<double>(built - start).count();
        state.counters["save_s"] = std::chrono::duration<double>(saved - built).count();
        state.counters["peak_built_MB"] = peakBuilt;
        state.counters["peak_saved_MB"] = peakMegabytes();
        state.counters["docx_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_BuildAndSaveLargeDocument)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
