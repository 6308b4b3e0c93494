#include "text/entities.h"
#include "text/html_text.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {
namespace {

// About 1 MB of topic-page text in which references are about as frequent as in generated
// help pages: mostly spaces and punctuation, some accented letters, the odd unknown "&".
std::u16string makePage() {
    const std::u16string_view pieces[] = {
        u"<p>Select the <b>Options</b> command&nbsp;to change the settings.</p>\r\n",
        u"<td>&lt;filename&gt;</td><td>The file to open&#46; Use &quot;*&quot; for all.</td>\r\n",
        u"<p>Caf&eacute; &amp; Cr&egrave;me &copy; R&D, AT&T &mdash; rights&#8482;</p>\r\n",
        u"<pre>if (a &lt; b &amp;&amp; c &gt; d) return;</pre>\r\n",
        u"<p>Plain text without any reference at all, as most of a page is.</p>\r\n",
    };
    std::u16string page;
    while (page.size() * sizeof(char16_t) < (1u << 20))
        for (std::u16string_view piece : pieces) page += piece;
    return page;
}

void BM_DecodeEntities(benchmark::State& state) {
    const std::u16string page = makePage();
    for (auto _ : state) benchmark::DoNotOptimize(DecodeEntities(page));
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(page.size() * sizeof(char16_t)));
}
BENCHMARK(BM_DecodeEntities);

// Header and footer texts as the distiller compares them: one pair per page, similar ones
// differing in a page number, dissimilar ones being different sentences of about equal length.
struct TextPair {
    std::u16string a, b;
};

std::u16string digit(int n) {
    return std::u16string(1, static_cast<char16_t>(u'0' + n % 10));
}

std::vector<TextPair> makePairs(bool similar, std::size_t length) {
    std::vector<TextPair> pairs;
    for (int page = 1; page <= 64; ++page) {
        std::u16string a = u"Example Help System - Chapter 3 - Page " + digit(page);
        std::u16string b =
            similar ? u"Example Help System - Chapter 3 - Page " + digit(page + 1)
                    : u"Send feedback on this topic to the documentation team " + digit(page);
        const std::u16string tail = u" | Copyright 2004 Example Corp. All rights reserved.";
        while (a.size() < length) a += tail;
        while (b.size() < length) b += similar ? tail : u" | Last updated on the fourth of May.";
        a.resize(length);
        b.resize(length);
        pairs.push_back({std::move(a), std::move(b)});
    }
    return pairs;
}

void BM_IsSimilarText(benchmark::State& state) {
    const bool similar = state.range(0) != 0;
    const auto length = static_cast<std::size_t>(state.range(1));
    const std::vector<TextPair> pairs = makePairs(similar, length);
    int found = 0;
    for (auto _ : state)
        for (const TextPair& pair : pairs) found += IsSimilarText(pair.a, pair.b);
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pairs.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(
                                                     pairs.size() * 2 * length * sizeof(char16_t)));
}
BENCHMARK(BM_IsSimilarText)
    ->ArgNames({"similar", "length"})
    ->Args({1, 50})
    ->Args({0, 50})
    ->Args({1, 200})
    ->Args({0, 200});

}  // namespace
}  // namespace quillet
