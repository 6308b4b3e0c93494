#include "engine/fields.h"

#include "engine/page_numbers.h"
#include "platform/utf.h"

#include <algorithm>
#include <vector>

namespace quillet::engine {

namespace {

std::u16string number(long long n) {
    return fromUtf8(std::to_string(n));
}

bool isTocBookmark(std::u16string_view name) {
    if (name.size() < 5 || name.substr(0, 4) != u"_Toc") return false;
    return std::all_of(name.begin() + 4, name.end(),
                       [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// The text a heading shows: field codes, pictures and marks left out.
std::u16string shownText(const Story& story, int from, int to) {
    std::u16string out;
    std::vector<bool> inCode;  // per open field: still in its code
    for (int i = from; i < to; ++i) {
        const char16_t c = story.text()[static_cast<std::size_t>(i)];
        if (c == kFieldBegin) {
            inCode.push_back(true);
        } else if (c == kFieldSeparator) {
            if (!inCode.empty()) inCode.back() = false;
        } else if (c == kFieldEnd) {
            if (!inCode.empty()) inCode.pop_back();
        } else if (std::find(inCode.begin(), inCode.end(), true) == inCode.end() &&
                   c != kPictureChar && !endsParagraph(c) && c != kPageBreak) {
            out += (c == kLineBreak || c == kTab) ? u' ' : c;
        }
    }
    const auto first = out.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return out.substr(first, out.find_last_not_of(u' ') - first + 1);
}

}  // namespace

Fragment fieldFragment(std::u16string_view code, Fragment result) {
    Fragment f;
    f.append(std::u16string(1, kFieldBegin) + std::u16string(code) + kFieldSeparator, CharFormat{});
    const int offset = static_cast<int>(f.text.size());
    f.appendText(result);
    f.append(std::u16string(1, kFieldEnd), CharFormat{});
    auto shift = [offset](auto items, auto& into) {
        for (auto item : items) {
            item.start += offset;
            item.end += offset;
            into.push_back(item);
        }
    };
    shift(result.bookmarks, f.bookmarks);
    shift(result.hyperlinks, f.hyperlinks);
    shift(result.fields, f.fields);
    shift(result.pictures, f.pictures);
    f.fields.push_back(Field{{0, static_cast<int>(f.text.size())}});
    f.tables = std::move(result.tables);
    f.styles = std::move(result.styles);
    return f;
}

std::u16string fieldKeyword(std::u16string_view code) {
    const auto first = code.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) return {};
    const auto last = code.find_first_of(u' ', first);
    std::u16string word(code.substr(first, last == code.npos ? code.npos : last - first));
    for (char16_t& c : word)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return word;
}

std::u16string tocFieldCode(const TocOptions& o) {
    std::u16string code =
        u" TOC \\o \"" + number(o.upperLevel) + u"-" + number(o.lowerLevel) + u"\"";
    if (o.useHyperlinks) code += u" \\h";
    if (o.hidePageNumbersInWeb) code += u" \\z";
    if (o.useOutlineLevels) code += u" \\u";
    if (!o.includePageNumbers) code += u" \\n";
    if (!o.rightAlignPageNumbers) code += u" \\p \" \"";
    return code + u" ";
}

TocOptions parseTocFieldCode(std::u16string_view code) {
    TocOptions o;
    o.rightAlignPageNumbers = true;
    std::vector<std::u16string> words;
    for (std::size_t i = 0; i < code.size();) {
        if (code[i] == u' ') {
            ++i;
        } else if (code[i] == u'"') {
            const std::size_t close = code.find(u'"', i + 1);
            words.emplace_back(
                code.substr(i + 1, close == std::u16string_view::npos ? code.npos : close - i - 1));
            i = close == std::u16string_view::npos ? code.size() : close + 1;
        } else {
            std::size_t j = i;
            while (j < code.size() && code[j] != u' ') ++j;
            words.emplace_back(code.substr(i, j - i));
            i = j;
        }
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::u16string& w = words[i];
        if (w == u"\\o") {
            o.useHeadingStyles = true;
            if (i + 1 < words.size() && words[i + 1].size() >= 3 && words[i + 1][1] == u'-') {
                o.upperLevel = std::clamp(words[i + 1][0] - u'0', 1, 9);
                o.lowerLevel = std::clamp(words[i + 1][2] - u'0', o.upperLevel, 9);
                ++i;
            }
        } else if (w == u"\\h") {
            o.useHyperlinks = true;
        } else if (w == u"\\z") {
            o.hidePageNumbersInWeb = true;
        } else if (w == u"\\u") {
            o.useOutlineLevels = true;
        } else if (w == u"\\n") {
            o.includePageNumbers = false;
        } else if (w == u"\\p") {
            o.rightAlignPageNumbers = false;
            if (i + 1 < words.size()) ++i;
        }
    }
    return o;
}

bool isTocField(const Story& story, const Field& field) {
    return fieldKeyword(story.fieldCode(field)) == u"TOC";
}

std::shared_ptr<Field> insertTableOfContents(DocumentModel& model, int pos,
                                             const TocOptions& options) {
    Story& body = model.body();
    model.insert(body, pos, fieldFragment(tocFieldCode(options)));
    std::shared_ptr<Field> field;
    for (const auto& f : body.fields())
        if (f->start == pos) field = f;
    updateTableOfContents(model, *field);
    return field;
}

void updateTableOfContents(DocumentModel& model, const Field& field) {
    Story& body = model.body();
    const TocOptions options = parseTocFieldCode(body.fieldCode(field));
    const int separator = body.fieldSeparator(field);
    if (separator < 0) return;
    model.remove(body, separator + 1, field.end - 1);

    struct Entry {
        int level;
        std::u16string text;
        std::u16string bookmark;
    };
    std::vector<Entry> entries;
    long long nextNumber = 100000000;
    for (const auto& b : body.bookmarks())
        if (isTocBookmark(b->name))
            nextNumber = std::max(nextNumber, std::stoll(toUtf8(b->name.substr(4))));
    const StyleSheet& sheet = model.styles();
    std::vector<Bookmark> newBookmarks;
    for (int i = 0; i < body.paragraphCount(); ++i) {
        const int start = body.paragraphStart(i), mark = body.paragraphEnd(i) - 1;
        if (start >= field.start && start < field.end) continue;
        const ParaFormat direct = body.paragraphFormat(i);
        const int level = direct.outlineLevel.value_or(sheet.outlineLevel(direct.style));
        if (level < options.upperLevel || level > options.lowerLevel) continue;
        std::u16string text = shownText(body, start, mark);
        if (text.empty()) continue;
        std::u16string name;
        const auto& marks = body.bookmarks();  // in order of their start
        for (auto it = std::lower_bound(marks.begin(), marks.end(), start,
                                        [](const auto&b, int pos) { return b->start < pos; });
             it != marks.end() && (*it)->start == start; ++it)
            if (isTocBookmark((*it)->name)) name = (*it)->name;
        if (name.empty()) {
            name = u"_Toc" + number(++nextNumber);
            Bookmark& added = newBookmarks.emplace_back();
            added.name = name;
            added.start = start;
            added.end = mark;
        }
        entries.push_back({level, std::move(text), std::move(name)});
    }
    body.addBookmarks(newBookmarks);  // all at once: headings run through the whole document

    // The page numbers stand at the right edge of the text, dots leading to them.
    std::optional<double> numberStop;
    if (options.includePageNumbers && !model.sections().empty()) {
        const PageSetup& page =
            model.sections()[static_cast<std::size_t>(model.sectionAt(field.start))].page;
        numberStop = std::max(page.pageWidth - page.leftMargin - page.rightMargin, 72.0);
    }
    // The entries, each ending in its page number (`pages`, by entry) when there are numbers.
    const auto contents = [&](const std::vector<int>& pages) {
        Fragment result;
        for (std::size_t k = 0; k < entries.size(); ++k) {
            const Entry& e = entries[k];
            const int entryStart = static_cast<int>(result.text.size());
            result.text += e.text;
            if (options.includePageNumbers) {
                result.text += kTab;
                Fragment shown;
                if (k < pages.size()) shown.append(number(pages[k]), CharFormat{});
                const Fragment pageRef =
                    fieldFragment(u" PAGEREF " + e.bookmark + u" \\h ", std::move(shown));
                const int at = static_cast<int>(result.text.size());
                result.text += pageRef.text;
                result.fields.push_back(Field{{at, at + static_cast<int>(pageRef.text.size())}});
            }
            if (options.useHyperlinks) {
                Hyperlink link;
                link.start = entryStart;
                link.end = static_cast<int>(result.text.size());
                link.subAddress = e.bookmark;
                result.hyperlinks.push_back(link);
            }
            result.text += kParagraphMark;
            ParaFormat format;
            const int style = sheet.findBuiltin(kStyleToc1 - (e.level - 1));
            format.style = style >= 0 ? style : 0;
            format.rightTab = numberStop;
            result.addParagraph(format);
        }
        result.addRun(static_cast<int>(result.text.size()), CharFormat{});
        return result;
    };
    Fragment result = contents({});
    const int length = static_cast<int>(result.text.size());
    model.insert(body, separator + 1, std::move(result));
    if (options.includePageNumbers && !entries.empty()) {
        // The numbers, laid out with the entries in place (they take pages too), replace the
        // empty ones; numbers of a few digits change no entry's length in lines.
        std::vector<int> starts;
        for (const Entry& e : entries) {
            const Bookmark* mark = body.findBookmark(e.bookmark);
            starts.push_back(mark ? mark->start : -1);
        }
        const std::vector<int> pages = pageNumbersOf(model, starts);
        model.remove(body, separator + 1, separator + 1 + length);
        model.insert(body, separator + 1, contents(pages));
    }
    model.updateFieldsOnOpen = true;
}

}  // namespace quillet::engine
