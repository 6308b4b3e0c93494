// Pagination alone: the document of a converted help file (a .docx, named by the environment
// variable QUILLET_LAYOUT_DOCX; bench/layout_bench.sh makes one from the generated 5,000-topic
// help file) is read once, then laid out again and again. Reports pages laid out per second; the
// text measure's caches are warm after the first round, as they are in a conversion after its
// first pages.
#include "automation/class_registry.h"
#include "engine/fonts/text_measure.h"
#include "engine/layout/page_layout.h"
#include "engine/word_engine.h"
#include "platform/utf.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

using namespace quillet;

void BM_LayOutDocument(benchmark::State& state) {
    const char* file = std::getenv("QUILLET_LAYOUT_DOCX");
    if (!file || !*file) {
        state.SkipWithError("set QUILLET_LAYOUT_DOCX to a .docx (bench/layout_bench.sh does)");
        return;
    }
    engine::registerWordEngine();
    const Object word = CreateObject(u"Word.Application");
    const Object doc = word.at(u"Documents").at(u"Open", {named(u"FileName", fromUtf8(file))});
    const engine::DocumentModel& model = *engine::documentModel(doc);
    std::size_t pages = 0;
    for (auto _ : state) {
        const engine::layout::PageLayout layout(model, engine::fonts::systemTextMeasure());
        pages = layout.pages().size();
        benchmark::DoNotOptimize(layout.lines().data());
    }
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["pages_per_second"] = benchmark::Counter(
        static_cast<double>(pages) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LayOutDocument)->Unit(benchmark::kMillisecond);

}  // namespace
