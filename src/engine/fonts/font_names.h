// The fonts that Windows documents name and the fonts of a Linux system that stand in for them:
// metric-compatible ones for the Latin fonts of Office, and the language of the Chinese, Japanese
// and Korean ones (fontconfig's rules for that language choose their stand-ins). It knows names
// only; fontconfig finds the files.
#pragma once

#include <string>
#include <string_view>

namespace quillet::engine::fonts {

// Which family a Chinese, Japanese or Korean font name stands for.
struct EastAsianFont {
    bool serif = false;         // Song, Ming, Mincho and Batang faces; else Hei, Gothic, Gulim
    std::string_view language;  // "zh-CN", "zh-TW", "ja" or "ko": the name's own language
};

// The East Asian font that `family` names (any letter case, full-width Latin letters of Japanese
// names included), or nothing for other names.
const EastAsianFont* eastAsianFont(std::u16string_view family);

// The metric-compatible family installed for one of Office's Latin fonts ("Arial" gives
// "Liberation Sans"), or an empty view.
std::string_view metricCompatibleFamily(std::u16string_view family);

// Whether `c` is a character of Chinese, Japanese or Korean text (wide or full-width, as Unicode
// gives their East Asian width), set in a run's East Asian font.
bool isEastAsian(char32_t c);

}  // namespace quillet::engine::fonts
