#include "engine/index_field.h"

#include "engine/fields.h"
#include "platform/utf.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cassert>
#include <map>
#include <optional>
#include <set>

namespace quillet::engine {

namespace {

std::u16string number(long long n) {
    return fromUtf8(std::to_string(n));
}

// One word of a field code: its text as written (escapes kept) and whether it was quoted.
struct CodeWord {
    std::u16string text;
    bool quoted = false;
};

// The words of a field code. Inside quotation marks a backslash keeps the character after it in
// the word, a quotation mark included; the backslash stays for the reader of the word to undo.
std::vector<CodeWord> codeWords(std::u16string_view code) {
    std::vector<CodeWord> words;
    std::size_t i = 0;
    while (i < code.size()) {
        if (code[i] == u' ') {
            ++i;
        } else if (code[i] == u'"') {
            CodeWord& w = words.emplace_back(CodeWord{{}, true});
            for (++i; i < code.size() && code[i] != u'"'; ++i) {
                if (code[i] == u'\\' && i + 1 < code.size()) w.text += code[i++];
                w.text += code[i];
            }
            ++i;  // the closing quotation mark, when there is one
        } else {
            std::size_t j = i;
            while (j < code.size() && code[j] != u' ') ++j;
            words.push_back({std::u16string(code.substr(i, j - i)), false});
            i = j;
        }
    }
    return words;
}

// A switch's argument with its escapes undone ("\"" gives a quotation mark).
std::u16string unescaped(std::u16string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

std::u16string trimmed(const std::u16string& text) {
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

// One node of the index being built: an entry, its own page numbers and its sub-entries.
struct IndexNode {
    IndexLevel level;
    std::set<int> pages;
    std::vector<IndexNode> children;
    // The children by their text's collation key, while the index is gathered: a help file's
    // index may hold tens of thousands of keywords at one level.
    std::map<std::string, std::size_t> childByKey;
};

// Compares index texts in the document's language without regard to letter case; falls back to
// comparing folded UTF-16 units where ICU has no collator.
class IndexCollator {
public:
    explicit IndexCollator(const std::u16string& languageTag) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Locale locale = icu::Locale::forLanguageTag(toUtf8(languageTag), status);
        if (U_FAILURE(status)) status = U_ZERO_ERROR;
        m_collator.reset(icu::Collator::createInstance(
            U_SUCCESS(status) ? locale : icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) m_collator.reset();
    }

    // <0, 0 or >0; `strength` as ICU counts it (primary: base letters only).
    int compare(std::u16string_view a, std::u16string_view b,
                icu::Collator::ECollationStrength strength) const {
        if (!m_collator) return fold(a).compare(fold(b));
        UErrorCode status = U_ZERO_ERROR;
        m_collator->setStrength(strength);
        return m_collator->compare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                                   static_cast<int32_t>(b.size()), status);
    }

    // A key that compares as `compare` does at secondary strength: equal for texts that differ
    // only in letter case.
    std::string key(std::u16string_view text) const {
        if (!m_collator) return toUtf8(fold(text));
        m_collator->setStrength(icu::Collator::SECONDARY);
        const auto length = static_cast<int32_t>(text.size());
        std::string bytes(16 + 4 * text.size(), '\0');
        for (;;) {
            const int32_t needed = m_collator->getSortKey(text.data(), length,
                                                          reinterpret_cast<uint8_t*>(bytes.data()),
                                                          static_cast<int32_t>(bytes.size()));
            if (needed <= static_cast<int32_t>(bytes.size())) {
                bytes.resize(static_cast<std::size_t>(std::max(needed, 0)));
                return bytes;
            }
            bytes.resize(static_cast<std::size_t>(needed));
        }
    }

private:
    static std::u16string fold(std::u16string_view text) {
        icu::UnicodeString s(false, text.data(), static_cast<int32_t>(text.size()));
        s.foldCase();
        return std::u16string(s.getBuffer(), static_cast<std::size_t>(s.length()));
    }
    std::unique_ptr<icu::Collator> m_collator;
};

// The key an entry is sorted by: its sort text when it has one, else its text.
std::u16string_view sortKey(const IndexLevel& level) {
    return level.sortAs.empty() ? std::u16string_view(level.text) : level.sortAs;
}

void sortNodes(std::vector<IndexNode>& nodes, const IndexCollator& collator) {
    std::stable_sort(nodes.begin(), nodes.end(), [&](const IndexNode& a, const IndexNode& b) {
        return collator.compare(sortKey(a.level), sortKey(b.level), icu::Collator::SECONDARY) < 0;
    });
    for (IndexNode& n : nodes) sortNodes(n.children, collator);
}

// The first character (a whole code point) of `text`, empty for an empty text.
std::u16string firstCharacter(std::u16string_view text) {
    if (text.empty()) return {};
    const std::size_t n = text.size() > 1 && (text[0] & 0xFC00) == 0xD800 ? 2 : 1;
    return std::u16string(text.substr(0, n));
}

// The heading of the letter group that `letter` starts: `separator` with its first "A" (or "a")
// made that letter, its accents left off where the language sorts it with its base letter ("Ä"
// under "A" in English, on its own in Swedish); nothing for characters without letter case
// (digits, signs, Chinese).
std::optional<std::u16string> letterHeading(const std::u16string& separator,
                                            const std::u16string& letter,
                                            const IndexCollator& collator) {
    if (letter.empty()) return std::nullopt;
    UChar32 c = letter[0];
    if (letter.size() == 2) c = U16_GET_SUPPLEMENTARY(letter[0], letter[1]);
    if (!u_hasBinaryProperty(c, UCHAR_CASED)) return std::nullopt;
    const auto at = separator.find_first_of(u"Aa");
    if (at == std::u16string::npos) return separator;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    icu::UnicodeString shown(c);
    if (U_SUCCESS(status)) {
        const icu::UnicodeString parts = nfd->normalize(shown, status);
        const icu::UnicodeString base(parts.char32At(0));
        const std::u16string baseText(base.getBuffer(), static_cast<std::size_t>(base.length()));
        if (U_SUCCESS(status) && collator.compare(baseText, letter, icu::Collator::PRIMARY) == 0)
            shown = base;
    }
    if (separator[at] == u'a')
        shown.toLower();
    else
        shown.toUpper();
    return separator.substr(0, at) +
           std::u16string(shown.getBuffer(), static_cast<std::size_t>(shown.length())) +
           separator.substr(at + 1);
}

}  // namespace

std::u16string indexSortingLanguage(const StyleSheet& sheet) {
    if (sheet.count() > 0 && sheet.at(0).font.eastAsiaLanguage)
        return *sheet.at(0).font.eastAsiaLanguage;
    return sheet.resolvedFont(0).language.value_or(u"en-US");
}

bool isIndexField(const Story& story, const Field& field) {
    return fieldKeyword(story.fieldCode(field)) == u"INDEX";
}

std::u16string xeFieldCode(std::u16string_view entry) {
    std::u16string text;
    for (std::size_t i = 0; i < entry.size(); ++i) {
        if (entry[i] == u'\\' && i + 1 < entry.size()) {
            text += entry[i++];
        } else if (entry[i] == u'\\' || entry[i] == u'"') {
            text += u'\\';  // a lone backslash at the end, or a bare quotation mark
        }
        text += entry[i];
    }
    return u" XE \"" + text + u"\" ";
}

std::vector<IndexLevel> parseXeFieldCode(std::u16string_view code) {
    const std::vector<CodeWord> words = codeWords(code);
    if (words.size() < 2 || fieldKeyword(code) != u"XE") return {};
    const std::u16string& text = words[1].text;
    std::vector<IndexLevel> levels(1);
    bool inSortText = false;  // after an unescaped ";" of the current level
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            c = text[++i];
        } else if (c == u':') {
            levels.emplace_back();
            inSortText = false;
            continue;
        } else if (c == u';') {
            inSortText = true;
            continue;
        }
        (inSortText ? levels.back().sortAs : levels.back().text) += c;
    }
    for (IndexLevel& level : levels) {
        level.text = trimmed(level.text);
        level.sortAs = trimmed(level.sortAs);
    }
    std::erase_if(levels, [](const IndexLevel& l) { return l.text.empty(); });
    return levels;
}

std::u16string indexFieldCode(const IndexOptions& o) {
    std::u16string code = u" INDEX";
    switch (o.headingSeparator) {
        case 1:
            code += u" \\h \" \"";
            break;
        case 2:
            code += u" \\h \"A\"";
            break;
        case 3:
            code += u" \\h \"a\"";
            break;
        default:
            break;
    }
    if (o.type == 1) code += u" \\r";
    if (o.columns > 1) code += u" \\c \"" + number(o.columns) + u"\"";
    if (o.languageId != 0) code += u" \\z \"" + number(o.languageId) + u"\"";
    return code + u" ";
}

IndexOptions parseIndexFieldCode(std::u16string_view code) {
    IndexOptions o;
    const std::vector<CodeWord> words = codeWords(code);
    const auto argument = [&](std::size_t i) {
        return i + 1 < words.size() &&
                       !(words[i + 1].text.starts_with(u'\\') && !words[i + 1].quoted)
                   ? std::optional<std::u16string>(unescaped(words[i + 1].text))
                   : std::nullopt;
    };
    const auto integer = [](const std::u16string& text, int fallback) {
        try {
            return std::stoi(toUtf8(text));
        } catch (const std::exception&) {
            return fallback;
        }
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i].quoted) continue;
        const std::u16string& w = words[i].text;
        if (w == u"\\h") {
            const auto text = argument(i);
            const std::u16string shown = text.value_or(u"");
            o.headingSeparator = shown.find(u'a') != std::u16string::npos   ? 3
                                 : shown.find(u'A') != std::u16string::npos ? 2
                                                                            : 1;
        } else if (w == u"\\r") {
            o.type = 1;
        } else if (w == u"\\c") {
            if (const auto text = argument(i)) o.columns = std::clamp(integer(*text, 1), 1, 4);
        } else if (w == u"\\z") {
            if (const auto text = argument(i)) o.languageId = integer(*text, 0);
        }
    }
    return o;
}

void markIndexEntry(DocumentModel& model, Story& story, int pos, std::u16string_view entry) {
    CharFormat hidden;
    hidden.hidden = true;
    const std::u16string code = xeFieldCode(entry);
    Fragment f = Fragment::plain(std::u16string(1, kFieldBegin) + code + kFieldEnd, hidden);
    f.fields.push_back(Field{{0, static_cast<int>(f.text.size())}});
    model.insert(story, pos, std::move(f));
}

std::shared_ptr<Field> insertIndex(DocumentModel& model, int pos, const IndexOptions& options) {
    Story& body = model.body();
    model.insert(body, pos, fieldFragment(indexFieldCode(options)));
    std::shared_ptr<Field> field;
    for (const auto& f : body.fields())
        if (f->start == pos) field = f;
    assert(field && "the INDEX field just inserted starts at its position");
    updateIndex(model, *field);
    return field;
}

void updateIndex(DocumentModel& model, const Field& field) {
    Story& body = model.body();
    const std::u16string code = body.fieldCode(field);
    const IndexOptions options = parseIndexFieldCode(code);
    std::u16string separatorText;  // what \h shows, "A" standing for the letter
    {
        const std::vector<CodeWord> words = codeWords(code);
        for (std::size_t i = 0; i + 1 < words.size(); ++i)
            if (!words[i].quoted && words[i].text == u"\\h")
                separatorText = unescaped(words[i + 1].text);
    }
    const int separator = body.fieldSeparator(field);
    if (separator < 0) return;
    model.remove(body, separator + 1, field.end - 1);

    // The marks outside this field, in the order of the text, with where each stands.
    struct Mark {
        std::vector<IndexLevel> levels;
        std::shared_ptr<Field> field;  // moves with the text as the result goes in
    };
    std::vector<Mark> marks;
    for (const auto& f : body.fields()) {
        if (f->start >= field.start && f->start < field.end) continue;
        std::vector<IndexLevel> levels = parseXeFieldCode(body.fieldCode(*f));
        if (!levels.empty()) marks.push_back({std::move(levels), f});
    }
    std::sort(marks.begin(), marks.end(),
              [](const Mark& a, const Mark& b) { return a.field->start < b.field->start; });

    StyleSheet& sheet = model.styles();
    const IndexCollator collator(indexSortingLanguage(sheet));
    // The entries with their pages: `pages` by mark, or none while the entries are placed.
    const auto entries = [&](const std::vector<int>& pages) {
        IndexNode root;
        for (std::size_t k = 0; k < marks.size(); ++k) {
            IndexNode* node = &root;
            for (const IndexLevel& l : marks[k].levels) {
                const auto [at, added] =
                    node->childByKey.emplace(collator.key(l.text), node->children.size());
                if (added) node->children.push_back(IndexNode{l, {}, {}, {}});
                node = &node->children[at->second];
            }
            if (node != &root && k < pages.size()) node->pages.insert(pages[k]);
        }
        sortNodes(root.children, collator);
        return std::move(root.children);
    };
    const auto paragraphStyle = [&](int builtin) {
        ParaFormat format;
        format.style = builtinIndexStyle(sheet, builtin);
        return format;
    };
    const auto contents = [&](const std::vector<int>& pages) {
        Fragment result;
        const auto paragraph = [&](const std::u16string& text, int builtin) {
            result.text += text;
            result.text += kParagraphMark;
            result.addParagraph(paragraphStyle(builtin));
        };
        const auto emit = [&](const auto& self, const IndexNode& node, int depth) -> void {
            std::u16string line = node.level.text;
            for (int page : node.pages) line += u", " + number(page);
            paragraph(line, kStyleIndex1 - std::min(depth, 8));
            for (const IndexNode& child : node.children) self(self, child, depth + 1);
        };
        const std::vector<IndexNode> roots = entries(pages);
        std::u16string group;  // the first character of the current letter group
        for (const IndexNode& node : roots) {
            const std::u16string letter = firstCharacter(sortKey(node.level));
            if (options.headingSeparator != 0 &&
                (group.empty() || collator.compare(group, letter, icu::Collator::PRIMARY) != 0)) {
                if (options.headingSeparator == 1) {
                    if (!group.empty()) paragraph(u"", kStyleIndexHeading);
                } else if (const auto heading = letterHeading(separatorText, letter, collator)) {
                    paragraph(*heading, kStyleIndexHeading);
                }
                group = letter;
            }
            emit(emit, node, 0);
        }
        result.addRun(static_cast<int>(result.text.size()), CharFormat{});
        return result;
    };
    Fragment result = contents({});
    const int length = static_cast<int>(result.text.size());
    model.insert(body, separator + 1, std::move(result));
    if (!marks.empty()) {
        // The numbers, found with the entries in place (they take pages too), replace the empty
        // ones, as the table of contents does.
        std::vector<int> positions;
        for (const Mark& m : marks) positions.push_back(m.field->start);
        const std::vector<int> pages = pageNumbersOf(model, positions);
        model.remove(body, separator + 1, separator + 1 + length);
        model.insert(body, separator + 1, contents(pages));
    }
    model.updateFieldsOnOpen = true;
}

}  // namespace quillet::engine
