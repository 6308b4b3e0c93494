// Reading a topic page of about 1 MB into the document engine, as Documents.Open with format 7
// does for every page of a conversion: decoding, parsing, the CSS cascade and the model.

#include "engine/document_model.h"
#include "engine/html/web_page_reader.h"
#include "platform/utf.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace quillet {
namespace {

constexpr std::size_t kPageBytes = 1 << 20;

// Headings, paragraphs with links and inline formatting, lists and tables, with a style sheet.
std::string makePage() {
    std::string html =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
        "<style>body { font-family: Verdana, SimSun; font-size: 10pt } .c { color: #336699 }"
        " table.t td { background-color: #eeeeee } h2 { color: navy } p.note span { font-weight: "
        "bold }</style>"
        "</head><body>\n";
    const std::string block =
        "<h2><a name=\"Bookmark1\"></a>参数 Parameters</h2>\n"
        "<p class=\"note\">The function <span>returns</span> a <a href=\"#Bookmark2\">handle</a> "
        "&amp; sets "
        "the <i>last error</i>; see <a href=\"http://example.com/x\">the site</a>.</p>\n"
        "<ul><li>first item</li><li>second <b>item</b><ol><li>nested</li></ol></li></ul>\n"
        "<table class=\"t\" border=1><tr><th>名称</th><th>说明</th></tr>"
        "<tr><td class=\"c\">hWnd</td><td>返回值说明：the window</td></tr></table>\n";
    while (html.size() < kPageBytes) html += block;
    return html + "</body></html>";
}

void openPage(benchmark::State& state) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "quillet-html-bench.htm";
    std::ofstream(file, std::ios::binary) << makePage();
    const std::u16string path = fromPath(file);
    int paragraphs = 0;
    for (auto _ : state) {
        engine::DocumentModel model;
        engine::html::readWebPage(model, path);
        paragraphs = model.body().paragraphCount();
        benchmark::DoNotOptimize(paragraphs);
    }
    std::filesystem::remove(file);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["paragraphs"] = paragraphs;
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kPageBytes));
}
BENCHMARK(openPage)->Iterations(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet
