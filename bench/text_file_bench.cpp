// Reading and decoding a topic page of about 1 MB, as distillation does for every page.

#include "platform/utf.h"
#include "text/code_pages.h"
#include "text/text_files.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quillet {
namespace {

constexpr std::size_t kPageBytes = 1 << 20;

// A page of tables and paragraphs in Chinese and English text, encoded as `codePage`.
std::string makePage(int codePage, const char* charset) {
    std::u16string html =
        u"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
        u"charset=" +
        fromUtf8(charset) + u"\"></head><body>\n";
    const std::u16string row =
        u"<tr><td class=\"c\">参数名称 Parameter</td><td>返回值说明：the function returns a "
        u"handle &amp; sets the last error.</td></tr>\n";
    const std::size_t rowBytes = EncodeCodePage(row, codePage).size();
    const std::size_t rows = (kPageBytes - EncodeCodePage(html, codePage).size()) / rowBytes + 1;
    for (std::size_t i = 0; i < rows; ++i) html += row;
    return EncodeCodePage(html, codePage);
}

class PageFile {
public:
    PageFile(const std::string& name, const std::string& bytes)
        : m_path(std::filesystem::temp_directory_path() / name) {
        std::ofstream(m_path, std::ios::binary) << bytes;
    }
    ~PageFile() { std::filesystem::remove(m_path); }
    std::u16string path() const { return fromPath(m_path); }

private:
    std::filesystem::path m_path;
};

void readPage(benchmark::State& state, int codePage, const char* charset, const char* name) {
    const PageFile page(name, makePage(codePage, charset));
    std::size_t units = 0;
    for (auto _ : state) {
        const std::u16string text = ReadTextFile(page.path(), u"");
        units = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPageBytes));
    state.counters["units"] = static_cast<double>(units);
}

void BM_ReadTextFile_Gb2312(benchmark::State& state) {
    readPage(state, 936, "gb2312", "quillet-bench-gb.htm");
}
void BM_ReadTextFile_Utf8(benchmark::State& state) {
    readPage(state, 65001, "utf-8", "quillet-bench-utf8.htm");
}
void BM_ReadTextFile_Windows1252(benchmark::State& state) {
    readPage(state, 1252, "windows-1252", "quillet-bench-1252.htm");
}

BENCHMARK(BM_ReadTextFile_Gb2312)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTextFile_Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTextFile_Windows1252)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet
