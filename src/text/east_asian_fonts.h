// The usual font and language tag for Chinese, Japanese and Korean text in a Word document: what
// the East Asian font slot and `w:lang w:eastAsia` hold, so that readers pick the glyph forms of
// the right language for the characters these scripts share.
#pragma once

#include <string_view>

namespace quillet {

struct EastAsianScript {
    int languageId;            // Windows language identifier, such as 0x0411
    std::u16string_view tag;   // language tag, such as "ja-JP"
    std::u16string_view font;  // the usual font of Word documents in that language
};

// The script of a help file's text: by its language when that is Chinese, Japanese or Korean,
// else by its code page (936, 950, 932, 949); nullptr when it is neither.
const EastAsianScript* eastAsianScriptOf(int languageId, int codePage);

// The script of an HTML `lang` value ("ja", "zh-TW", "zh-Hant-HK", "ko-KR"; any letter case);
// nullptr for other languages. Chinese without a region or script is Simplified Chinese.
const EastAsianScript* eastAsianScriptOfTag(std::string_view tag);

}  // namespace quillet
