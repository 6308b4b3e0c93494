#include "text/east_asian_fonts.h"

#include <algorithm>
#include <array>
#include <string>

namespace quillet {

namespace {

constexpr std::array<EastAsianScript, 7> kScripts = {{
    {0x0804, u"zh-CN", u"SimSun"},
    {0x1004, u"zh-SG", u"SimSun"},
    {0x0404, u"zh-TW", u"PMingLiU"},
    {0x0C04, u"zh-HK", u"PMingLiU"},
    {0x1404, u"zh-MO", u"PMingLiU"},
    {0x0411, u"ja-JP", u"MS Mincho"},
    {0x0412, u"ko-KR", u"Batang"},
}};

const EastAsianScript* byLanguage(int languageId) {
    const auto found = std::find_if(kScripts.begin(), kScripts.end(),
                                    [&](const auto& s) { return s.languageId == languageId; });
    return found == kScripts.end() ? nullptr : &*found;
}

}  // namespace

const EastAsianScript* eastAsianScriptOf(int languageId, int codePage) {
    if (const EastAsianScript* script = byLanguage(languageId)) return script;
    switch (codePage) {
        case 936:
        case 54936:
            return byLanguage(0x0804);
        case 950:
            return byLanguage(0x0404);
        case 932:
            return byLanguage(0x0411);
        case 949:
            return byLanguage(0x0412);
        default:
            return nullptr;
    }
}

const EastAsianScript* eastAsianScriptOfTag(std::string_view tag) {
    std::string t;
    for (char c : tag) {
        if (c == ' ' || c == '\t') continue;
        t += c == '_' ? '-' : static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    const auto subtag = [&](std::string_view s) {
        return t.find("-" + std::string(s)) != std::string::npos;
    };
    if (t == "ja" || t.starts_with("ja-")) return byLanguage(0x0411);
    if (t == "ko" || t.starts_with("ko-")) return byLanguage(0x0412);
    if (t != "zh" && !t.starts_with("zh-")) return nullptr;
    if (subtag("hk")) return byLanguage(0x0C04);
    if (subtag("mo")) return byLanguage(0x1404);
    if (subtag("tw") || subtag("hant")) return byLanguage(0x0404);
    if (subtag("sg")) return byLanguage(0x1004);
    return byLanguage(0x0804);
}

}  // namespace quillet
