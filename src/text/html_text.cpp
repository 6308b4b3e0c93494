#include "text/html_text.h"

#include "platform/ascii.h"
#include "text/entities.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillet {

namespace {

constexpr std::u16string_view kUrlAttributes[] = {u"HREF", u"SRC", u"BACKGROUND"};
constexpr std::u16string_view kHtmlExtensions[] = {u".HTML", u".HTM", u".SHTML", u".SHT"};

constexpr std::u16string_view kTitleOpen = u"<title>";
constexpr std::u16string_view kTitleClose = u"</title>";

bool isOneOf(std::u16string_view name, const auto& list) {
    for (std::u16string_view entry : list)
        if (equalsIgnoringAsciiCase(name, entry)) return true;
    return false;
}

// First position at or after `from` where `pattern` occurs without regard to ASCII letter
// case; npos when none. Patterns here are marks and filters of a few dozen characters, so a
// plain scan is enough.
std::size_t findAscii(std::u16string_view s, std::u16string_view pattern, std::size_t from) {
    if (pattern.size() > s.size()) return std::u16string_view::npos;
    for (std::size_t i = from; i + pattern.size() <= s.size(); ++i)
        if (equalsIgnoringAsciiCase(s.substr(i, pattern.size()), pattern)) return i;
    return std::u16string_view::npos;
}

// Rewrites every occurrence of `lowerMark`, in any ASCII letter case, in its lower-case
// spelling, scanning left to right without overlaps.
void lowerMarks(std::u16string& s, std::u16string_view lowerMark) {
    if (lowerMark.empty()) return;
    for (std::size_t at = findAscii(s, lowerMark, 0); at != std::u16string::npos;
         at = findAscii(s, lowerMark, at + lowerMark.size()))
        s.replace(at, lowerMark.size(), lowerMark);
}

}  // namespace

std::u16string GetHtmlTitle(std::u16string_view Html) {
    const std::size_t open = findAscii(Html, kTitleOpen, 0);
    const std::size_t close = findAscii(Html, kTitleClose, 0);
    if (open == std::u16string_view::npos || close == std::u16string_view::npos || close < open)
        return {};
    // Tags inside the title are lower-cased like the ones around it before the title is taken.
    std::u16string title(Html.substr(open + kTitleOpen.size(), close - open - kTitleOpen.size()));
    lowerMarks(title, kTitleOpen);
    std::erase_if(title, [](char16_t c) { return c == u'\r' || c == u'\n'; });
    return DecodeEntities(title);
}

std::u16string RemoveBlocks(std::u16string_view S, std::u16string_view StartMark,
                            std::u16string_view EndMark, std::u16string_view Filter) {
    const std::u16string start = lowerAscii(StartMark);
    const std::u16string end = lowerAscii(EndMark);
    std::u16string text(S);
    lowerMarks(text, start);
    lowerMarks(text, end);
    if (start.empty() || end.empty()) return text;

    std::u16string out;
    out.reserve(text.size());
    std::size_t copyFrom = 0;    // start of the text not yet copied
    std::size_t searchFrom = 0;  // where the next start mark is looked for
    for (;;) {
        const std::size_t blockStart = text.find(start, searchFrom);
        const std::size_t blockEnd =
            blockStart == std::u16string::npos ? blockStart : text.find(end, blockStart);
        if (blockEnd == std::u16string::npos) break;
        const std::u16string_view block =
            std::u16string_view(text).substr(blockStart, blockEnd - blockStart);
        searchFrom = blockEnd + end.size();
        if (Filter.empty() || findAscii(block, Filter, 0) != std::u16string_view::npos) {
            out.append(text, copyFrom, blockStart - copyFrom);
            copyFrom = searchFrom;
        }
        // A kept block stays uncopied until the text after it is copied too.
    }
    out.append(text, copyFrom);
    return out;
}

std::u16string GetAttributeValue(std::u16string_view TagText, std::u16string_view Name) {
    enum class State {
        Outside,      // inside a value that did not match, until the next blank
        ReadingName,  // after a blank: an attribute name, up to "="
        Value,        // after "=": an unquoted value, up to a blank
        QuotedValue,  // after "=" and a quote: up to the same quote
    };
    State state = State::Outside;
    // The name and value read so far are the ranges of TagText from these positions on: what a
    // state adds to them is always the next character.
    std::size_t nameStart = 0;
    std::size_t valueStart = 0;
    bool nameMatches = false;
    char16_t quote = 0;

    for (std::size_t i = 0; i < TagText.size(); ++i) {
        const char16_t c = TagText[i];
        const auto value = [&] {
            return std::u16string(TagText.substr(valueStart, i - valueStart));
        };
        switch (state) {
            case State::Outside:
            case State::ReadingName:
                if (isBlank(c)) {
                    state = State::ReadingName;
                    nameStart = i + 1;
                } else if (state == State::ReadingName && c == u'=') {
                    nameMatches =
                        equalsIgnoringAsciiCase(TagText.substr(nameStart, i - nameStart), Name);
                    state = State::Value;
                    if (i + 1 < TagText.size() &&
                        (TagText[i + 1] == u'"' || TagText[i + 1] == u'\'')) {
                        quote = TagText[++i];
                        state = State::QuotedValue;
                    }
                    valueStart = i + 1;
                }
                break;
            case State::Value:
                if (isBlank(c)) {
                    if (nameMatches) return value();
                    state = State::ReadingName;
                    nameStart = i + 1;
                } else if (c == u'>' && nameMatches) {
                    return value();
                }
                break;
            case State::QuotedValue:
                if (c == quote) {
                    if (nameMatches) return value();
                    state = State::Outside;
                } else if (c == u'>' && nameMatches) {
                    return value();
                }
                break;
        }
    }
    return {};
}

bool IsSimilarText(std::u16string_view S1, std::u16string_view S2) {
    if (S1.empty() || S2.empty()) return false;
    if (equalsIgnoringAsciiCase(S1, S2)) return true;
    if (S1.size() < 5 || S2.size() < 5) return false;
    const std::u16string_view a = S1.size() <= S2.size() ? S1 : S2;  // the shorter
    const std::u16string_view b = S1.size() <= S2.size() ? S2 : S1;
    if (b.size() - a.size() > 50) return false;

    // Each character of `a` is looked for in `b` after the last match. A character that is not
    // there would cost a scan to the end of `b` each time; remembering where the last character
    // with the same low byte stands rules most of those out at once.
    std::array<std::size_t, 256> lastPlusOne{};
    for (std::size_t j = 0; j < b.size(); ++j) lastPlusOne[lowerAscii(b[j]) & 0xFF] = j + 1;

    std::size_t next = 0;   // position in `b` after the last match
    std::size_t run = 0;    // consecutive matches so far
    std::size_t total = 0;  // characters in runs of three or more
    for (const char16_t raw : a) {
        const char16_t c = lowerAscii(raw);
        std::size_t found = b.size();
        if (lastPlusOne[c & 0xFF] > next) {
            for (std::size_t j = next; j < b.size(); ++j)
                if (lowerAscii(b[j]) == c) {
                    found = j;
                    break;
                }
        }
        if (found != next || found == b.size()) {
            if (run >= 3) total += run;
            run = 0;
        }
        if (found == b.size()) continue;  // not in the rest of `b`: skipped
        ++run;
        next = found + 1;
    }
    if (run >= 3) total += run;
    return total * 5 > a.size() * 4;  // more than 80%, exactly
}

bool IsUrlAttribute(std::u16string_view Name) {
    return isOneOf(Name, kUrlAttributes);
}

bool IsHtmlExtension(std::u16string_view Ext) {
    return isOneOf(Ext, kHtmlExtensions);
}

}  // namespace quillet
