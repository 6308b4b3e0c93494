// The whole distillation stage on a generated project whose pages share a header and footer,
// at three sizes, to show how it grows with the number of pages: with contents listing every
// page, and without contents, which are then made from the links of the first page on.

#include "distill/chm_distill.h"
#include "platform/utf.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace quillet {
namespace {

const char* const kWords[] = {"window",   "handle",  "message",  "value",  "return", "parameter",
                              "function", "control", "option",   "string", "buffer", "pointer",
                              "object",   "method",  "property", "event",  "error",  "result"};

// Pages with a common navigation bar and footer, a title, a few paragraphs of varied text,
// and links to the next page and to an anchor of a page further on. With `contents`, every page
// has a contents entry; without, only the first has (as the default topic's entry).
void generateProject(const std::filesystem::path& folder, int pages, TCHMDistill& job,
                     bool contents) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "html");
    std::mt19937 random(7);
    const auto sentence = [&](int words) {
        std::string s;
        for (int w = 0; w < words; ++w)
            s += std::string(kWords[random() % std::size(kWords)]) + " ";
        return s;
    };
    job.rootFolder = fromPath(folder) + u"/";
    for (int n = 0; n < pages; ++n) {
        const std::string name = "html/topic" + std::to_string(n) + ".htm";
        const std::string title = "Topic " + std::to_string(n) + " " + sentence(2);
        std::ofstream out(folder / name);
        out << "<html><head><title>" << title
            << "</title><link rel=stylesheet href=../style.css></head>"
            << "<body>\n<div class=nav><a href=../index.htm>Home</a> | Index | Search</div>\n"
            << "<h1>" << title << "</h1>\n";
        for (int p = 0; p < 3 + n % 4; ++p)
            out << "<p><a name=s" << p << "></a>" << sentence(20 + static_cast<int>(random() % 30))
                << n << "</p>\n";
        out << "<p>See <a href=\"topic" << (n + 1) % pages
            << ".htm\">the next topic</a> and <a href=\"topic" << (n * 7 + 3) % pages
            << ".htm#s1\">a section</a>.</p>\n"
            << "<p class=foot>Copyright 2024 Example Corporation. All rights "
               "reserved.</p>\n</body></html>";
        if (!contents && n > 0) continue;
        TTitleList& entry = job.List.add();
        entry.Topic = fromUtf8(title);
        entry.Url = fromUtf8(name);
        entry.Level = n % 3 == 0 ? 0 : 1;
    }
    std::ofstream(folder / "style.css") << "p { text-align: justify } .hidden { display: none }";
}

void distillProject(benchmark::State& state, bool contents) {
    const auto folder = std::filesystem::temp_directory_path() / "quillet-bench-distill";
    for (auto _ : state) {
        state.PauseTiming();
        TCHMDistill job;
        generateProject(folder, static_cast<int>(state.range(0)), job, contents);
        state.ResumeTiming();
        job.Execute();
        benchmark::DoNotOptimize(job.List.size());
    }
    std::filesystem::remove_all(folder);
    state.SetComplexityN(state.range(0));
}

void BM_DistillProject(benchmark::State& state) {
    distillProject(state, true);
}

void BM_DistillProjectWithoutContents(benchmark::State& state) {
    distillProject(state, false);
}

BENCHMARK(BM_DistillProject)
    ->Arg(1250)
    ->Arg(2500)
    ->Arg(5000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

BENCHMARK(BM_DistillProjectWithoutContents)
    ->Arg(1250)
    ->Arg(2500)
    ->Arg(5000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace quillet
