#include "engine/fonts/font_names.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace quillet::engine::fonts {

namespace {

struct NamedEastAsianFont {
    std::u16string_view name;  // lower case, half-width Latin letters
    EastAsianFont font;
};

// The fonts of Windows and Office for Chinese, Japanese and Korean text, by the names documents
// give them (English and native), with their kind of face and their language.
constexpr std::array kEastAsianFonts = {
    // Simplified Chinese
    NamedEastAsianFont{u"simsun", {true, "zh-CN"}},
    NamedEastAsianFont{u"\u5b8b\u4f53", {true, "zh-CN"}},  // 宋体
    NamedEastAsianFont{u"nsimsun", {true, "zh-CN"}},
    NamedEastAsianFont{u"\u65b0\u5b8b\u4f53", {true, "zh-CN"}},  // 新宋体
    NamedEastAsianFont{u"fangsong", {true, "zh-CN"}},
    NamedEastAsianFont{u"\u4eff\u5b8b", {true, "zh-CN"}},  // 仿宋
    NamedEastAsianFont{u"kaiti", {true, "zh-CN"}},
    NamedEastAsianFont{u"\u6977\u4f53", {true, "zh-CN"}},  // 楷体
    NamedEastAsianFont{u"simhei", {false, "zh-CN"}},
    NamedEastAsianFont{u"\u9ed1\u4f53", {false, "zh-CN"}},  // 黑体
    NamedEastAsianFont{u"microsoft yahei", {false, "zh-CN"}},
    NamedEastAsianFont{u"\u5fae\u8f6f\u96c5\u9ed1", {false, "zh-CN"}},  // 微软雅黑
    NamedEastAsianFont{u"dengxian", {false, "zh-CN"}},
    NamedEastAsianFont{u"\u7b49\u7ebf", {false, "zh-CN"}},  // 等线
    // Traditional Chinese
    NamedEastAsianFont{u"mingliu", {true, "zh-TW"}},
    NamedEastAsianFont{u"pmingliu", {true, "zh-TW"}},
    NamedEastAsianFont{u"\u7d30\u660e\u9ad4", {true, "zh-TW"}},        // 細明體
    NamedEastAsianFont{u"\u65b0\u7d30\u660e\u9ad4", {true, "zh-TW"}},  // 新細明體
    NamedEastAsianFont{u"dfkai-sb", {true, "zh-TW"}},
    NamedEastAsianFont{u"\u6a19\u6977\u9ad4", {true, "zh-TW"}},  // 標楷體
    NamedEastAsianFont{u"microsoft jhenghei", {false, "zh-TW"}},
    NamedEastAsianFont{u"\u5fae\u8edf\u6b63\u9ed1\u9ad4", {false, "zh-TW"}},  // 微軟正黑體
    // Japanese
    NamedEastAsianFont{u"ms mincho", {true, "ja"}},
    NamedEastAsianFont{u"ms \u660e\u671d", {true, "ja"}},  // ＭＳ 明朝
    NamedEastAsianFont{u"ms pmincho", {true, "ja"}},
    NamedEastAsianFont{u"ms p\u660e\u671d", {true, "ja"}},  // ＭＳ Ｐ明朝
    NamedEastAsianFont{u"yu mincho", {true, "ja"}},
    NamedEastAsianFont{u"\u6e38\u660e\u671d", {true, "ja"}},  // 游明朝
    NamedEastAsianFont{u"ms gothic", {false, "ja"}},
    NamedEastAsianFont{u"ms \u30b4\u30b7\u30c3\u30af", {false, "ja"}},  // ＭＳ ゴシック
    NamedEastAsianFont{u"ms pgothic", {false, "ja"}},
    NamedEastAsianFont{u"ms p\u30b4\u30b7\u30c3\u30af", {false, "ja"}},  // ＭＳ Ｐゴシック
    NamedEastAsianFont{u"ms ui gothic", {false, "ja"}},
    NamedEastAsianFont{u"meiryo", {false, "ja"}},
    NamedEastAsianFont{u"\u30e1\u30a4\u30ea\u30aa", {false, "ja"}},  // メイリオ
    NamedEastAsianFont{u"meiryo ui", {false, "ja"}},
    NamedEastAsianFont{u"yu gothic", {false, "ja"}},
    NamedEastAsianFont{u"\u6e38\u30b4\u30b7\u30c3\u30af", {false, "ja"}},  // 游ゴシック
    // Korean
    NamedEastAsianFont{u"batang", {true, "ko"}},
    NamedEastAsianFont{u"\ubc14\ud0d5", {true, "ko"}},  // 바탕
    NamedEastAsianFont{u"batangche", {true, "ko"}},
    NamedEastAsianFont{u"\ubc14\ud0d5\uccb4", {true, "ko"}},  // 바탕체
    NamedEastAsianFont{u"gungsuh", {true, "ko"}},
    NamedEastAsianFont{u"\uad81\uc11c", {true, "ko"}},  // 궁서
    NamedEastAsianFont{u"gulim", {false, "ko"}},
    NamedEastAsianFont{u"\uad74\ub9bc", {false, "ko"}},  // 굴림
    NamedEastAsianFont{u"gulimche", {false, "ko"}},
    NamedEastAsianFont{u"\uad74\ub9bc\uccb4", {false, "ko"}},  // 굴림체
    NamedEastAsianFont{u"dotum", {false, "ko"}},
    NamedEastAsianFont{u"\ub3cb\uc6c0", {false, "ko"}},  // 돋움
    NamedEastAsianFont{u"dotumche", {false, "ko"}},
    NamedEastAsianFont{u"\ub3cb\uc6c0\uccb4", {false, "ko"}},  // 돋움체
    NamedEastAsianFont{u"malgun gothic", {false, "ko"}},
    NamedEastAsianFont{u"\ub9d1\uc740 \uace0\ub515", {false, "ko"}},  // 맑은 고딕
};

// Office's Latin fonts and the metric-compatible families of Debian's fonts-liberation2 and
// fonts-crosextra-carlito / -caladea: the same advance widths, glyph by glyph.
constexpr std::array<std::pair<std::u16string_view, std::string_view>, 8> kMetricCompatible = {{
    {u"arial", "Liberation Sans"},
    {u"helvetica", "Liberation Sans"},
    {u"times new roman", "Liberation Serif"},
    {u"times", "Liberation Serif"},
    {u"courier new", "Liberation Mono"},
    {u"courier", "Liberation Mono"},
    {u"calibri", "Carlito"},
    {u"cambria", "Caladea"},
}};

// Lower case, full-width Latin letters and the ideographic space made half-width, as the
// tables above spell names.
std::u16string foldName(std::u16string_view name) {
    std::u16string folded;
    for (char16_t c : name) {
        if (c >= 0xFF01 && c <= 0xFF5E) c = static_cast<char16_t>(c - 0xFF01 + 0x21);
        if (c == 0x3000) c = u' ';
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        folded += c;
    }
    const auto first = folded.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    folded.erase(folded.find_last_not_of(u' ') + 1);
    return folded.substr(first);
}

}  // namespace

const EastAsianFont* eastAsianFont(std::u16string_view family) {
    const std::u16string folded = foldName(family);
    for (const NamedEastAsianFont& f : kEastAsianFonts)
        if (f.name == folded) return &f.font;
    return nullptr;
}

std::string_view metricCompatibleFamily(std::u16string_view family) {
    const std::u16string folded = foldName(family);
    for (const auto& [name, substitute] : kMetricCompatible)
        if (name == folded) return substitute;
    return {};
}

bool isEastAsian(char32_t c) {
    const auto width = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_EAST_ASIAN_WIDTH);
    return width == U_EA_WIDE || width == U_EA_FULLWIDTH;
}

}  // namespace quillet::engine::fonts
