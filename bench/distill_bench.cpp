// Distilling topic pages: a large ordinary page, and a page of deeply nested elements where an
// element stack that copies or searches at every level would turn quadratic.

#include "distill/topic_file.h"

#include <benchmark/benchmark.h>

namespace quillet {
namespace {

TChmTopicFile pageOf(std::u16string body) {
    TChmTopicFile file;
    file.Body = std::move(body);
    file.Title1 = u"Function reference";
    file.h = file.SamePointH = static_cast<int>(file.Body.size());
    return file;
}

// About 200 KB: a navigation bar, a title, then tables and paragraphs of text.
std::u16string ordinaryPage() {
    std::u16string body =
        u"<div class=nav><a href=index.htm><img src=images/prev.gif></a> Home | Up</div>\n"
        u"<h1>Function reference</h1>\n<div id=content>\n";
    while (body.size() < 200 * 1024) {
        body +=
            u"<h2>Parameters</h2><table border=1><tr><td><b>hWnd</b></td><td>Handle of the "
            u"window &amp; its <i>owner</i>.</td></tr><tr><td>nIndex</td><td>Zero-based "
            u"index.</td></tr></table>\n<p>The function returns <code>TRUE</code> when it "
            u"succeeds; call <a href=\"err.htm#last\">GetLastError</a> otherwise.</p>\n";
    }
    return body + u"</div>\n<p class=footer>Copyright</p>\n";
}

std::u16string nestedPage(int depth) {
    std::u16string body;
    for (int n = 0; n < depth; ++n) body += u"<div class=level>x";
    for (int n = 0; n < depth; ++n) body += u"</div>";
    return body;
}

void BM_Distiller_200KB(benchmark::State& state) {
    const std::u16string body = ordinaryPage();
    for (auto _ : state) {
        TChmTopicFile file = pageOf(body);
        benchmark::DoNotOptimize(file.Distiller());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size() * 2));
}

void BM_Distiller_Nested(benchmark::State& state) {
    const std::u16string body = nestedPage(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TChmTopicFile file = pageOf(body);
        benchmark::DoNotOptimize(file.Distiller());
    }
    state.SetComplexityN(state.range(0));
}

// Elements never closed: each end tag looks for an open element of its name.
void BM_Distiller_Unclosed(benchmark::State& state) {
    std::u16string body;
    for (int n = 0; n < state.range(0); ++n) body += u"<span>x";
    for (int n = 0; n < state.range(0); ++n) body += u"</em>";
    for (auto _ : state) {
        TChmTopicFile file = pageOf(body);
        benchmark::DoNotOptimize(file.Distiller());
    }
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_Distiller_200KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Distiller_Nested)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_Distiller_Unclosed)
    ->Arg(5000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace quillet
