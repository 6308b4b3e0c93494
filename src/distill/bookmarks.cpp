#include "distill/bookmarks.h"

#include "distill/html_tags.h"
#include "platform/case_insensitive_path.h"
#include "text/entities.h"

#include <algorithm>
#include <optional>

namespace quillet {

namespace {

bool endsName(char16_t c) {
    return c == u' ' || c == u'>' || c == u'\r' || c == u'\n' || c == u'\t';
}
bool isBlank(char16_t c) {
    return c == u' ' || c == u'\r' || c == u'\n' || c == u'\t';
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && foldCase(a) == foldCase(b);
}

std::u16string_view withoutHash(std::u16string_view name) {
    if (!name.empty() && name.front() == u'#') name.remove_prefix(1);
    return name;
}

}  // namespace

TBookmark* TBookmarks::GetItemByName(std::u16string_view Name) {
    const int index = GetItemIdByName(Name);
    return index < 0 ? nullptr : &Items(index);
}

TBookmark& TBookmarks::add(TBookmark bookmark) {
    m_items.push_back(std::move(bookmark));
    index(Count() - 1);
    return m_items.back();
}

void TBookmarks::index(int n) {
    const std::u16string_view name = withoutHash(Items(n).Name);
    if (!name.empty()) m_byName.emplace(foldCase(name), n);
}

int TBookmarks::GetItemIdByName(std::u16string_view Name) const {
    const std::u16string_view name = withoutHash(Name);
    if (name.empty()) return -1;
    const auto found = m_byName.find(foldCase(name));
    return found == m_byName.end() ? -1 : found->second;
}

void TBookmarks::Sort() {
    const auto byPosition = [](const TBookmark& a, const TBookmark& b) {
        return a.Position < b.Position;
    };
    // The exchanges below leave an ordered list as it is, and give the one order there is when
    // no two positions are equal; only ties need them, and they cost the square of the count.
    if (std::is_sorted(m_items.begin(), m_items.end(), byPosition)) return;
    std::vector<int> positions;
    positions.reserve(m_items.size());
    for (const TBookmark& b : m_items) positions.push_back(b.Position);
    std::sort(positions.begin(), positions.end());
    const bool ties = std::adjacent_find(positions.begin(), positions.end()) != positions.end();
    if (!ties) {
        std::sort(m_items.begin(), m_items.end(), byPosition);
    } else {
        exchangeSort();
    }
    m_byName.clear();
    for (int n = 0; n < Count(); ++n) index(n);
}

void TBookmarks::exchangeSort() {
    for (std::size_t a = 0; a + 1 < m_items.size(); ++a)
        for (std::size_t b = a + 1; b < m_items.size(); ++b)
            if (m_items[b].Position < m_items[a].Position) std::swap(m_items[a], m_items[b]);
}

std::vector<AnchorAttribute> readAnchorAttributes(std::u16string_view body) {
    std::vector<AnchorAttribute> pairs;
    std::u16string tagName, attribute, value;
    bool readingName = false;  // after "<", before the name ends
    bool inTag = false;        // inside a tag, after its name
    bool inA = false;          // inside the start tag of an A
    bool inValue = false;
    char16_t quote = 0;  // the quote of the value being read; 0 unquoted
    int lessThan = 1;    // position of the last "<"
    int blockStart = 1;
    const auto handOn = [&] {
        if (inA || equalsIgnoringCase(attribute, u"id"))
            pairs.push_back({attribute, value, blockStart});
        attribute.clear();
        value.clear();
        inValue = false;
    };
    const int length = static_cast<int>(body.size());
    for (int p = 1; p <= length; ++p) {
        const char16_t c = body[static_cast<std::size_t>(p - 1)];
        if (inValue) {
            if (quote != 0 ? c == quote : endsName(c)) {
                handOn();
                if (c != u'>') continue;
            } else {
                value += c;
                continue;
            }
        }
        if (readingName) {
            if (!endsName(c)) {
                tagName += c;
                continue;
            }
            readingName = false;
            const bool isEnd = !tagName.empty() && tagName.front() == u'/';
            // Comments, declarations and end tags hold no attributes.
            inTag = !isEnd && !tagName.empty() && tagName.front() != u'!';
            if (equalsIgnoringCase(tagName, u"A")) inA = true;
            const std::u16string_view name =
                isEnd ? std::u16string_view(tagName).substr(1) : tagName;
            if (IsBreakTag(name)) blockStart = isEnd ? p + 1 : lessThan;
        }
        if (c == u'<') {
            readingName = true;
            tagName.clear();
            lessThan = p;
        } else if (c == u'>') {
            tagName.clear();
            inTag = inA = false;
            attribute.clear();
        } else if (inTag) {
            if (c == u'=') {
                inValue = true;
                quote = 0;
                // White space between the "=" and the value belongs to the attribute.
                p = static_cast<int>(skipWhiteSpace(body, static_cast<std::size_t>(p)));
                if (p < length && (body[static_cast<std::size_t>(p)] == u'"' ||
                                   body[static_cast<std::size_t>(p)] == u'\'')) {
                    quote = body[static_cast<std::size_t>(p)];
                    ++p;
                }
            } else if (isBlank(c)) {
                // ... and so does white space between a name and its "=". The run of blanks is
                // taken whole: looking ahead from each of its blanks would cost quadratic time.
                const std::size_t next = skipWhiteSpace(body, static_cast<std::size_t>(p));
                if (next >= body.size() || body[next] != u'=') attribute.clear();
                p = static_cast<int>(next);
            } else {
                attribute += c;
            }
        }
    }
    return pairs;
}

bool IsHeadingLike(std::u16string_view S, std::u16string_view Title) {
    const std::u16string s = foldCase(S), title = foldCase(Title);
    if (s == title) return true;
    const bool sShorter = s.size() <= title.size();
    const std::u16string& shorter = sShorter ? s : title;
    const std::u16string& longer = sShorter ? title : s;
    if (!longer.empty() && longer.find(shorter) != std::u16string::npos &&
        static_cast<double>(longer.size() - shorter.size()) / static_cast<double>(longer.size()) <
            0.4)
        return true;
    return !S.empty() && S.size() < 50 && S.back() != u'.' && S.back() != u':';
}

std::u16string RepairTableEdges(std::u16string_view S) {
    const auto nameAt = [&](std::size_t from) {
        std::u16string name;
        for (std::size_t p = from; p < S.size() && !isWhiteSpace(S[p]) && S[p] != u'>'; ++p)
            name += S[p];
        if (!name.empty() && name.front() == u'/') name.erase(0, 1);
        return foldCase(name);
    };
    std::u16string front, back;
    if (const std::size_t last = S.rfind(u'<');
        last != std::u16string_view::npos && S.find(u'>', last) != std::u16string_view::npos) {
        const std::u16string name = nameAt(last + 1);
        if (name == u"tr") back = u"</table>";
        if (name == u"td") back = u"</tr></table>";
    }
    if (const std::size_t first = S.find(u'>'); first != std::u16string_view::npos) {
        const std::size_t open = S.substr(0, first).rfind(u'<');
        const std::u16string name = open == std::u16string_view::npos ? u"" : nameAt(open + 1);
        if (name == u"tr") front = u"<table>";
        if (name == u"td") front = u"<table><tr>";
    }
    return front + std::u16string(S) + back;
}

std::u16string DistillFragment(std::u16string_view fragment, std::u16string_view title) {
    THtmlTags stack;
    TagReader reader;
    std::u16string blockText, result;
    bool titleCheckPending = true;
    int threshold = 5;
    int titleElement = -1;  // the element that held a heading-like first block; -1 none

    const auto foldInto = [&](int k) {
        if (k == titleElement) {
            stack.Items(k - 1).Inner.clear();
            titleElement = k - 1;
        } else {
            FoldElement(stack, k);
        }
    };
    for (const char16_t c : fragment) {
        const TagReader::Step step = reader.feed(c);
        if (step == TagReader::Step::TagStart) {
            stack.top().Inner.append(reader.unfinished());
            continue;
        }
        if (step == TagReader::Step::InTag) continue;
        if (step == TagReader::Step::Text) {
            THtmlTag& top = stack.top();
            top.InnerText.append(c);
            top.Inner.append(c);
            if (!top.NonDoc) {
                blockText += c;
                if (!isWhiteSpace(c)) ++top.CharCount;
            }
            continue;
        }
        // Only a leading "/" comes off here: "br/" stays a name of its own.
        const std::u16string& tagText = reader.text();
        const std::u16string& tagName = reader.name();
        const bool isEnd = !tagName.empty() && tagName.front() == u'/';
        const std::u16string name = isEnd ? tagName.substr(1) : tagName;
        if (name.empty()) {
            reader.clear();
            continue;
        }
        if (IsBreakTag(name)) {
            const std::u16string block =
                trimControls(DecodeEntities(CollapseWhiteSpace(blockText)));
            if (!block.empty() && titleCheckPending) {
                if (IsHeadingLike(block, title)) titleElement = stack.Count() - 1;
                titleCheckPending = false;
            }
            blockText.clear();
        }
        if (!isEnd && IsEmptyTag(name)) {
            stack.top().Inner.append(tagText);
        } else if (!isEnd) {
            stack.push(name, tagText).Block = IsBreakTag(name);
        } else if (const std::optional<int> found = stack.findOpen(name)) {
            const int e = *found;
            stack.Items(e).Tail = tagText;
            for (int k = stack.Count() - 1; k > e; --k) foldInto(k);
            // The element is taken before folding hands its markup on, and chosen after the
            // fold, under the title rule as it stood.
            THtmlTag& element = stack.Items(e);
            std::optional<std::u16string> chosen;
            if (element.CharCount > threshold)
                chosen = element.Start + element.Inner.str() + element.Tail;
            const int count = element.CharCount;
            foldInto(e);
            if (chosen) {
                result = std::move(*chosen);
                threshold = count + 5;
                titleElement = -1;
            }
            stack.setCount(e);
        }
        reader.clear();
    }
    for (int k = stack.Count() - 1; k >= 1; --k) {
        THtmlTag& element = stack.Items(k);
        if (IsBreakTag(element.Name) && element.CharCount > threshold) {
            result = element.Start + element.Inner.str() + u"</" + element.Name + u">";
            threshold = element.CharCount + 5;
        }
        FoldElement(stack, k);
    }
    stack.setCount(1);
    const THtmlTag& root = stack.Items(0);
    if (root.CharCount > threshold) result = root.Inner.str();
    if (TrimWhiteSpace(result).empty()) {
        result = root.Inner.str();
        if (result.empty()) result = std::u16string(fragment);
    }
    return RepairTableEdges(result);
}

}  // namespace quillet
