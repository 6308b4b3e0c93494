// Measuring text as a word processor sets it: the font a run asks for (or its metric-compatible
// substitute), the width of shaped text and the font's line height, and where Unicode lets a
// line break. The layout of pages and the sizing of tables measure through TextMeasure, so tests
// can give them a measure of their own.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::engine::fonts {

// The font a run of text asks for.
struct FontRequest {
    std::u16string family;          // Latin and complex-script text ("Times New Roman")
    std::u16string eastAsiaFamily;  // Chinese, Japanese and Korean text; empty: as `family`
    std::u16string language;        // the text's language tag ("ja-JP"), guiding fallback
    double size = 10.5;             // points
    bool bold = false;
    bool italic = false;
    bool operator==(const FontRequest&) const = default;
};

// A font's vertical measures at a size, in points.
struct LineMetrics {
    double ascent = 0;
    double descent = 0;  // positive, below the baseline
    double lineGap = 0;
    // The height of a single-spaced line.
    double height() const { return ascent + descent + lineGap; }
};

class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    // The advance width of `text`, shaped, in points. Characters the font lacks are measured in
    // a font that has them.
    virtual double width(std::u16string_view text, const FontRequest& font) = 0;
    // The line metrics of the font `font` resolves to.
    virtual LineMetrics metrics(const FontRequest& font) = 0;
    // ... and of the font its Chinese, Japanese and Korean text is set in, which is taller than
    // most Latin fonts: a line holding such text is as tall as this font makes it.
    virtual LineMetrics eastAsiaMetrics(const FontRequest& font) { return metrics(font); }
};

// Where a line may break in `text`: the positions (1 to text.size()) after which a line may end,
// as the Unicode line breaking rules have them, in order; the last is always text.size() for
// non-empty text. Chinese, Japanese and Korean text breaks between characters, other text after
// the spaces between words. `mandatory`, when given, gets the positions where a line must end
// (after a line or paragraph break character).
std::vector<std::size_t> lineBreaks(std::u16string_view text, std::u16string_view language = {},
                                    std::vector<std::size_t>* mandatory = nullptr);

// The measure of this process: fonts found by fontconfig, text shaped by HarfBuzz, widths kept
// per font, size and word. Safe to use from several threads at once.
TextMeasure& systemTextMeasure();

}  // namespace quillet::engine::fonts

template <>
struct std::hash<quillet::engine::fonts::FontRequest> {
    std::size_t operator()(const quillet::engine::fonts::FontRequest& f) const noexcept {
        std::size_t h = std::hash<std::u16string>()(f.family);
        h = h * 31 + std::hash<std::u16string>()(f.eastAsiaFamily);
        h = h * 31 + std::hash<std::u16string>()(f.language);
        h = h * 31 + std::hash<double>()(f.size);
        return h * 4 + (f.bold ? 2 : 0) + (f.italic ? 1 : 0);
    }
};
