// Line break opportunities through ICU's line break iterator, in the text's language.
#include "engine/fonts/text_measure.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

namespace quillet::engine::fonts {

namespace {

// The engine's own marks that end a line whatever ICU makes of them: a table cell's end and a
// page break. ICU already takes \r, \n, \v, \f, U+0085, U+2028 and U+2029 as hard breaks.
bool endsLine(char16_t c) {
    return c == u'\a' || c == u'\x0e';
}

// A character after which a line must end: the line and paragraph breaks of Unicode (\r, \n,
// \v, \f, U+0085, U+2028, U+2029) and the engine's own.
bool isHardBreak(char16_t c) {
    const auto kind = u_getIntPropertyValue(c, UCHAR_LINE_BREAK);
    return kind == U_LB_MANDATORY_BREAK || kind == U_LB_CARRIAGE_RETURN || kind == U_LB_LINE_FEED ||
           kind == U_LB_NEXT_LINE || endsLine(c);
}

bool isHangul(char16_t c) {
    return (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) ||
           (c >= 0x3130 && c <= 0x318F);
}

// Korean text is set in words: no break between two Hangul letters (what browsers call
// keep-all), where ICU breaks between syllables as it does between ideographs.
bool keepsWords(std::u16string_view language) {
    return language.size() >= 2 && (language[0] == u'k' || language[0] == u'K') &&
           (language[1] == u'o' || language[1] == u'O') &&
           (language.size() == 2 || language[2] == u'-' || language[2] == u'_');
}

// This thread's line break iterator for a language tag, made at its first use (making one reads
// ICU's rules, which costs far more than breaking a paragraph); null when ICU cannot make one.
icu::BreakIterator* iteratorFor(const std::string& tag) {
    thread_local std::map<std::string, std::unique_ptr<icu::BreakIterator>> iterators;
    auto& slot = iterators[tag];
    if (!slot) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale locale =
            tag.empty() ? icu::Locale::getRoot() : icu::Locale::forLanguageTag(tag, status);
        if (U_FAILURE(status)) locale = icu::Locale::getRoot();
        status = U_ZERO_ERROR;
        slot.reset(icu::BreakIterator::createLineInstance(locale, status));
        if (U_FAILURE(status)) slot.reset();
    }
    return slot.get();
}

}  // namespace

std::vector<std::size_t> lineBreaks(std::u16string_view text, std::u16string_view language,
                                    std::vector<std::size_t>* mandatory) {
    std::vector<std::size_t> breaks;
    if (mandatory) mandatory->clear();
    if (text.empty()) return breaks;

    std::string tag(language.begin(), language.end());  // language tags are ASCII
    // Japanese lines break as Word's standard rules have them: never before a small kana or
    // the prolonged sound mark either (ICU's strict line breaking).
    if (tag == "ja" || tag.starts_with("ja-") || tag.starts_with("ja_")) tag += "-u-lb-strict";
    icu::BreakIterator* it = iteratorFor(tag);
    if (!it) {
        breaks.push_back(text.size());
        if (mandatory) mandatory->push_back(text.size());
        return breaks;
    }
    // ICU reads the text in place while the breaks are found here; the next call sets another.
    const icu::UnicodeString source(false, text.data(), static_cast<int32_t>(text.size()));
    it->setText(source);
    const bool words = keepsWords(language);
    for (int32_t p = it->next(); p != icu::BreakIterator::DONE; p = it->next()) {
        const auto at = static_cast<std::size_t>(p);
        const bool hard = isHardBreak(text[at - 1]);
        if (!hard && words && at < text.size() && isHangul(text[at - 1]) && isHangul(text[at]))
            continue;
        breaks.push_back(at);
        if (hard && mandatory) mandatory->push_back(at);
    }
    // The engine's marks that ICU does not take as breaks at all.
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (!endsLine(text[i])) continue;
        const auto pos = std::lower_bound(breaks.begin(), breaks.end(), i + 1);
        if (pos == breaks.end() || *pos != i + 1) breaks.insert(pos, i + 1);
        if (mandatory) {
            const auto m = std::lower_bound(mandatory->begin(), mandatory->end(), i + 1);
            if (m == mandatory->end() || *m != i + 1) mandatory->insert(m, i + 1);
        }
    }
    if (breaks.empty() || breaks.back() != text.size()) breaks.push_back(text.size());
    return breaks;
}

}  // namespace quillet::engine::fonts
