// The system's text measure against the published advance widths of the fonts Office documents
// name (through their metric-compatible stand-ins), East Asian text, fallback fonts, line breaks
// in four languages, and a machine without fonts.
#include "engine/fonts/text_measure.h"
#include "engine/fonts/system_text_measure.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace quillet::engine::fonts {
namespace {

FontRequest font(std::u16string family, double size, bool bold = false) {
    FontRequest f;
    f.family = std::move(family);
    f.size = size;
    f.bold = bold;
    return f;
}

FontRequest eastAsian(std::u16string family, std::u16string language, double size) {
    FontRequest f;
    f.family = u"Times New Roman";
    f.eastAsiaFamily = std::move(family);
    f.language = std::move(language);
    f.size = size;
    return f;
}

// Advance widths in font units, as the fonts' hmtx tables (and Word's layout) have them; Word
// applies no kerning by default, and neither does the measure.
TEST(TextMeasure, WidthsFollowTheFontsAdvanceWidths) {
    struct Case {
        const char* what;
        std::u16string text;
        FontRequest font;
        double points;
    };
    const Case kCases[] = {
        // H 1479, e 1139, l 455, o 1139 of 2048 units per em
        {"Arial", u"Hello", font(u"Arial", 12), (1479 + 1139 + 455 + 455 + 1139) / 2048.0 * 12},
        {"Helvetica is Arial's stand-in too", u"Hello", font(u"Helvetica", 12), 4667 / 2048.0 * 12},
        // H 1479, e 909, l 569, o 1024
        {"Times New Roman", u"Hello", font(u"Times New Roman", 10),
         (1479 + 909 + 569 + 569 + 1024) / 2048.0 * 10},
        // every character 1229
        {"Courier New", u"Hello, world", font(u"Courier New", 9), 12 * 1229 / 2048.0 * 9},
        {"a space of Arial", u" ", font(u"Arial", 12), 569 / 2048.0 * 12},
        {"Chinese in SimSun is one em a character", u"\u4e2d\u6587",
         eastAsian(u"SimSun", u"zh-CN", 10.5), 21},
        {"Japanese in MS Mincho", u"\u3042\u3002",
         eastAsian(u"\uff2d\uff33 \u660e\u671d", u"ja", 12), 24},
        {"Hanja in Gulim", u"\u97d3\u570b", eastAsian(u"Gulim", u"ko-KR", 10), 20},
        {"an unknown East Asian name in a Japanese text", u"\u65e5",
         eastAsian(u"Nonexistent Gothic", u"ja-JP", 10), 10},
        {"the engine's marks take no room", u"\a\r\v", font(u"Arial", 12), 0},
    };
    TextMeasure& m = systemTextMeasure();
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(m.width(c.text, c.font), c.points, 1e-6);
    }
    // Hangul syllables: close to an em each (Gulim's are one; Noto Sans CJK KR's 0.92).
    const double hangul = m.width(u"\ud55c\uad6d", eastAsian(u"Gulim", u"ko-KR", 10));
    EXPECT_GE(hangul, 18);
    EXPECT_LE(hangul, 20);
    // Mixed text: Latin characters in the Latin font, the Chinese one in the East Asian font.
    const FontRequest mixed = eastAsian(u"SimSun", u"zh-CN", 10);
    EXPECT_NEAR(m.width(u"Hello\u4e2d", mixed),
                m.width(u"Hello", font(u"Times New Roman", 10)) + 10, 1e-6);
}

TEST(TextMeasure, BoldIsWiderAndLineHeightIsWords) {
    TextMeasure& m = systemTextMeasure();
    for (const char16_t* family : {u"Arial", u"Times New Roman", u"Calibri", u"SimSun"}) {
        SCOPED_TRACE(toUtf8(family));
        EXPECT_GT(m.width(u"Bold text", font(family, 12, true)),
                  m.width(u"Bold text", font(family, 12)) + 0.5);
    }
    // Word sets a single line of Arial 12 pt 13.8 pt high (ascent 1854, descent 434 and line gap
    // 67 of 2048).
    EXPECT_NEAR(systemTextMeasure().metrics(font(u"Arial", 12)).height(), 13.8, 0.01);
}

TEST(TextMeasure, CharactersTheFontLacksAreMeasuredInAFallbackFont) {
    TextMeasure& m = systemTextMeasure();
    // U+2630 is not in Liberation Sans; DejaVu Sans has it.
    const double trigram = m.width(u"\u2630", font(u"Arial", 12));
    EXPECT_GT(trigram, 0);
    EXPECT_NEAR(trigram, m.width(u"\u2630", font(u"DejaVu Sans", 12)), 1e-6);
    EXPECT_NEAR(m.width(u"a\u2630b", font(u"Arial", 12)),
                m.width(u"ab", font(u"Arial", 12)) + trigram, 1e-6);
    // A letter no installed font has: half an em.
    EXPECT_NEAR(m.width(u"\U0001E900", font(u"Arial", 12)), 6, 1e-6);
}

TEST(TextMeasure, AMachineWithoutFontsMeasuresAverageWidths) {
    testing::TempDir dir;
    const auto config = dir.path() / "fonts.conf";
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    const auto m = newTextMeasure(config);
    EXPECT_DOUBLE_EQ(m->width(u"Hello", font(u"Arial", 12)), 30);
    EXPECT_DOUBLE_EQ(m->width(u"\u4e2d\u6587", eastAsian(u"SimSun", u"zh-CN", 10)), 20);
    EXPECT_GT(m->metrics(font(u"Arial", 12)).height(), 12);
}

TEST(TextMeasure, LineBreaksFollowEachLanguagesRules) {
    struct Case {
        const char* what;
        std::u16string text;
        std::u16string language;
        std::vector<std::size_t> breaks;
        std::vector<std::size_t> mandatory;
    };
    const Case kCases[] = {
        {"English breaks after spaces", u"Hello world, friends", u"en-US", {6, 13, 20}, {}},
        {"a path breaks after its slashes", u"see C:/a/b", u"en", {4, 7, 9, 10}, {}},
        {"Chinese breaks between characters, not before a full stop",
         u"\u4e2d\u6587\u6587\u672c\u3002",
         u"zh-CN",
         {1, 2, 3, 5},
         {}},
        {"Japanese: no break before \u3001 or \u3002, nor before a small kana",
         u"\u3053\u308c\u3001\u65e5\u672c\u8a9e\u3002\u3061\u3087\u3063\u3068",
         u"ja-JP",
         {1, 3, 4, 5, 7, 10, 11},
         {}},
        {"Korean breaks between words",
         u"\ud55c\uad6d\uc5b4 \ud14d\uc2a4\ud2b8",
         u"ko-KR",
         {4, 7},
         {}},
        {"Korean letters without a language break between syllables",
         u"\ud55c\uad6d",
         u"",
         {1, 2},
         {}},
        {"hard breaks",
         u"a\nb\rc\r\nd\ve\u2028f\ag",
         u"en",
         {2, 4, 7, 9, 11, 13, 14},
         {2, 4, 7, 9, 11, 13}},
        {"empty text", u"", u"en", {}, {}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::vector<std::size_t> mandatory;
        EXPECT_EQ(lineBreaks(c.text, c.language, &mandatory), c.breaks);
        EXPECT_EQ(mandatory, c.mandatory);
    }
}

TEST(TextMeasure, ThreadsMeasureAsOneDoes) {
    const std::vector<std::pair<std::u16string, FontRequest>> kTexts = {
        {u"The quick brown fox", font(u"Arial", 11)},
        {u"jumps over the lazy dog", font(u"Times New Roman", 12, true)},
        {u"\u65e5\u672c\u8a9e\u306e\u6587\u7ae0 text", eastAsian(u"MS Gothic", u"ja", 10.5)},
        {u"\ud55c\uad6d\uc5b4 \u2630", eastAsian(u"Batang", u"ko", 9)},
        {u"0x40000 0x80000", font(u"Courier New", 10)},
    };
    // Fresh requests on every thread at once: sizes no other test asks for.
    std::vector<std::vector<double>> results(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < results.size(); ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round)
                for (const auto& [text, request] : kTexts) {
                    FontRequest r = request;
                    r.size += 0.25 * (round % 5);
                    results[t].push_back(systemTextMeasure().width(text, r));
                }
        });
    for (std::thread& t : threads) t.join();
    for (std::size_t t = 1; t < results.size(); ++t) EXPECT_EQ(results[t], results[0]);
    EXPECT_GT(results[0][0], 0);
}

}  // namespace
}  // namespace quillet::engine::fonts
