// Reading a topic page of about 1 MB into the document engine, as Documents.Open with format 7
// does for every page of a conversion: decoding, parsing, the CSS cascade and the model.

#include "automation/class_registry.h"
#include "engine/document_model.h"
#include "engine/html/web_page_reader.h"
#include "engine/word_engine.h"
#include "platform/utf.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// Topic pages imported as the Word stage imports them (open, copy, paste at the end of the
// document, close), with the pages named to Documents.ReadAhead six ahead (1) or not (0): what the
// second thread saves is the reading that overlaps the pasting.
void importPages(benchmark::State& state) {
    constexpr int kPages = 200;
    const bool ahead = state.range(0) != 0;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "quillet-import-bench";
    std::filesystem::create_directories(folder);
    std::string page = makePage().substr(0, 24 << 10);
    page += "</table></body></html>";
    std::vector<std::u16string> paths;
    for (int n = 0; n < kPages; ++n) {
        const auto file = folder / ("p" + std::to_string(n) + ".htm");
        std::ofstream(file, std::ios::binary) << page;
        paths.push_back(fromPath(file));
    }
    engine::registerWordEngine();
    engine::registerWebPageReader();
    for (auto _ : state) {
        Object word = CreateObject(u"Word.Application");
        Object documents = word.at(u"Documents");
        Object doc = documents.at(u"Add");
        for (int n = 0; n < kPages; ++n) {
            if (ahead)
                for (int k = n; k <= n + 6 && k < kPages; ++k)
                    documents.call(u"ReadAhead", {paths[static_cast<std::size_t>(k)], 7});
            Object opened = documents.at(u"Open", {paths[static_cast<std::size_t>(n)], 7});
            opened.at(u"Content").call(u"Copy");
            Object end = doc.at(u"Content");
            end.call(u"collapse", {0});
            end.call(u"Paste");
            opened.call(u"Close", {0});
        }
        benchmark::DoNotOptimize(doc);
        word.call(u"Quit", {false});
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(importPages)->Arg(0)->Arg(1)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet
