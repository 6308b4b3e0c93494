#include "engine/story.h"

#include "platform/ascii.h"

#include <algorithm>
#include <cassert>
#include <set>
#include <unordered_set>

namespace quillet::engine {

namespace {

std::string at(const char* what, int pos) {
    return std::string(what) + " at " + std::to_string(pos);
}

// Copies of a fragment's items, made shared and moved `by` positions.
template <class T>
std::vector<std::shared_ptr<T>> shifted(const std::vector<T>& items, int by) {
    std::vector<std::shared_ptr<T>> out;
    out.reserve(items.size());
    for (const T& item : items) {
        auto copy = std::make_shared<T>(item);
        copy->start += by;
        copy->end += by;
        out.push_back(std::move(copy));
    }
    return out;
}

}  // namespace

Fragment Fragment::plain(std::u16string text, const CharFormat& format) {
    Fragment f;
    f.runs.emplace_back(static_cast<int>(text.size()), format);
    f.text = std::move(text);
    return f;
}

Story::Story() {
    m_formats.emplace_back();
    m_formatIds.emplace(CharFormat{}, 0);
    m_text.push_back(kParagraphMark);
    m_charFormat.push_back(0);
    m_paragraphs.push_back({1, ParaFormat{}});
}

std::u16string Story::text(int from, int to) const {
    from = std::clamp(from, 0, length());
    to = std::clamp(to, from, length());
    return m_text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

int Story::paragraphAt(int pos) const {
    const auto it = std::upper_bound(m_paragraphs.begin(), m_paragraphs.end(), pos,
                                     [](int p, const Paragraph& para) { return p < para.end; });
    if (it == m_paragraphs.end()) return paragraphCount() - 1;
    return static_cast<int>(it - m_paragraphs.begin());
}

int Story::paragraphStart(int index) const {
    return index == 0 ? 0 : m_paragraphs[static_cast<std::size_t>(index - 1)].end;
}

int Story::paragraphEnd(int index) const {
    return m_paragraphs[static_cast<std::size_t>(index)].end;
}

const ParaFormat& Story::paragraphFormat(int index) const {
    return m_paragraphs[static_cast<std::size_t>(index)].format;
}

ParaFormat& Story::paragraphFormat(int index) {
    return m_paragraphs[static_cast<std::size_t>(index)].format;
}

std::pair<int, int> Story::paragraphsTouched(int from, int to) const {
    const int first = paragraphAt(from);
    return {first, to > from ? paragraphAt(to - 1) : first};
}

const CharFormat& Story::charFormat(int pos) const {
    return m_formats[m_charFormat[static_cast<std::size_t>(pos)]];
}

std::uint32_t Story::intern(const CharFormat& format) {
    const auto [it, added] =
        m_formatIds.emplace(format, static_cast<std::uint32_t>(m_formats.size()));
    if (added) m_formats.push_back(format);
    return it->second;
}

void Story::formatCharacters(int from, int to, const std::function<void(CharFormat&)>& edit) {
    from = std::clamp(from, 0, length());
    to = std::clamp(to, from, length());
    std::uint32_t lastIn = UINT32_MAX, lastOut = 0;
    for (int i = from; i < to; ++i) {
        const std::uint32_t id = m_charFormat[static_cast<std::size_t>(i)];
        if (id != lastIn) {
            CharFormat f = m_formats[id];
            edit(f);
            lastIn = id;
            lastOut = intern(f);
        }
        m_charFormat[static_cast<std::size_t>(i)] = lastOut;
    }
}

template <class T>
T& Story::addInOrder(std::vector<std::shared_ptr<T>>& items, std::shared_ptr<T> item) {
    const auto it =
        std::upper_bound(items.begin(), items.end(), item->start,
                         [](int start, const std::shared_ptr<T>& i) { return start < i->start; });
    T& added = **items.insert(it, std::move(item));
    m_spans.add(&added);
    return added;
}

template <class T>
void Story::addAllInOrder(std::vector<std::shared_ptr<T>>& items,
                          std::vector<std::shared_ptr<T>> added) {
    if (added.empty()) return;
    // Adding one by one puts each after every item that starts where it starts or before: a
    // stable merge of the items with the added ones in a stable order by start.
    const auto before = [](const std::shared_ptr<T>& a, const std::shared_ptr<T>& b) {
        return a->start < b->start;
    };
    std::stable_sort(added.begin(), added.end(), before);
    std::vector<Span*> spans;
    spans.reserve(added.size());
    for (const auto& item : added) spans.push_back(item.get());
    const auto from =
        std::upper_bound(items.begin(), items.end(), added.front(), before) - items.begin();
    const auto middle = static_cast<std::ptrdiff_t>(items.size());
    items.insert(items.end(), std::make_move_iterator(added.begin()),
                 std::make_move_iterator(added.end()));
    std::inplace_merge(items.begin() + from, items.begin() + middle, items.end(), before);
    m_spans.add(std::move(spans));
}

template <class T>
void Story::removeItem(std::vector<std::shared_ptr<T>>& items, T* item) {
    const auto it = std::find_if(items.begin(), items.end(),
                                 [item](const std::shared_ptr<T>& i) { return i.get() == item; });
    if (it == items.end()) return;
    m_spans.remove(item);
    items.erase(it);
}

Bookmark* Story::findBookmark(std::u16string_view name) const {
    const auto it = m_bookmarksByName.find(lowerAscii(name));
    return it == m_bookmarksByName.end() ? nullptr : it->second;
}

Bookmark& Story::addBookmark(const std::u16string& name, int start, int end) {
    if (Bookmark* old = findBookmark(name)) removeBookmark(old);
    auto b = std::make_shared<Bookmark>();
    b->start = start;
    b->end = end;
    b->name = name;
    Bookmark& added = addInOrder(m_bookmarks, std::move(b));
    m_bookmarksByName[lowerAscii(name)] = &added;
    return added;
}

void Story::addBookmarks(const std::vector<Bookmark>& bookmarks) {
    std::vector<std::shared_ptr<Bookmark>> added;
    added.reserve(bookmarks.size());
    for (const Bookmark& b : bookmarks) {
        const std::u16string key = lowerAscii(b.name);
        if (const auto it = m_bookmarksByName.find(key); it != m_bookmarksByName.end()) {
            // A name taken by one just added here moves it, as adding one by one would.
            const auto fresh = std::find_if(added.begin(), added.end(),
                                            [&](const auto& a) { return a.get() == it->second; });
            if (fresh != added.end())
                added.erase(fresh);
            else
                removeBookmark(it->second);
        }
        auto bookmark = std::make_shared<Bookmark>(b);
        m_bookmarksByName[key] = bookmark.get();
        added.push_back(std::move(bookmark));
    }
    addAllInOrder(m_bookmarks, std::move(added));
}

void Story::removeBookmark(Bookmark* bookmark) {
    m_bookmarksByName.erase(lowerAscii(bookmark->name));
    removeItem(m_bookmarks, bookmark);
}

Hyperlink& Story::addHyperlink(const Hyperlink& link) {
    return addInOrder(m_hyperlinks, std::make_shared<Hyperlink>(link));
}

void Story::removeHyperlink(Hyperlink* link) {
    removeItem(m_hyperlinks, link);
}

Field& Story::addField(int start, int end) {
    auto f = std::make_shared<Field>();
    f->start = start;
    f->end = end;
    return addInOrder(m_fields, std::move(f));
}

InlinePicture& Story::addPicture(int pos, const PictureData& picture) {
    auto p = std::make_shared<InlinePicture>();
    p->start = pos;
    p->end = pos + 1;
    p->picture = picture;
    return addInOrder(m_pictures, std::move(p));
}

Shape& Story::addShape(const Shape& shape) {
    return addInOrder(m_shapes, std::make_shared<Shape>(shape));
}

void Story::removeShape(Shape* shape) {
    removeItem(m_shapes, shape);
}

int Story::fieldSeparator(const Field& field) const {
    int depth = 0;
    for (int i = field.start + 1; i < field.end - 1; ++i) {
        const char16_t c = m_text[static_cast<std::size_t>(i)];
        if (c == kFieldBegin) ++depth;
        if (c == kFieldEnd) --depth;
        if (c == kFieldSeparator && depth == 0) return i;
    }
    return -1;
}

std::u16string Story::fieldCode(const Field& field) const {
    const int sep = fieldSeparator(field);
    return text(field.start + 1, sep >= 0 ? sep : field.end - 1);
}

std::pair<int, int> Story::wholeFields(int from, int to) const {
    bool grown = true;
    while (grown) {
        grown = false;
        for (const auto& f : m_fields) {
            auto holds = [&](int pos) { return pos >= from && pos < to; };
            const int sep = fieldSeparator(*f);
            const bool begin = holds(f->start);
            const bool end = holds(f->end - 1);
            if (begin != end || (sep >= 0 && holds(sep) && !begin)) {
                from = std::min(from, f->start);
                to = std::max(to, f->end);
                grown = true;
            }
        }
    }
    return {from, to};
}

void Story::insert(int pos, const Fragment& content) {
    const int n = static_cast<int>(content.text.size());
    if (n == 0) return;
    assert(pos >= 0 && pos < length() && "insertion behind the final paragraph mark");
    const int para = paragraphAt(pos);

    const int tableBase = static_cast<int>(m_tables.size());
    m_tables.insert(m_tables.end(), content.tables.begin(), content.tables.end());

    std::vector<std::uint32_t> ids;
    ids.reserve(static_cast<std::size_t>(n));
    for (const auto& [count, format] : content.runs)
        ids.insert(ids.end(), static_cast<std::size_t>(count), intern(format));
    ids.resize(static_cast<std::size_t>(n), ids.empty() ? 0 : ids.back());
    m_text.insert(static_cast<std::size_t>(pos), content.text);
    m_charFormat.insert(m_charFormat.begin() + pos, ids.begin(), ids.end());

    std::vector<Paragraph> added;
    std::vector<int> breaks;
    std::size_t next = 0;
    for (int o = 0; o < n; ++o) {
        const char16_t c = content.text[static_cast<std::size_t>(o)];
        if (c == kSectionBreak) breaks.push_back(pos + o);
        if (!endsParagraph(c)) continue;
        ParaFormat format;
        if (next < content.paragraphs.size()) {
            format = content.paragraphs[next];
            for (CellRef& cell : format.cells) cell.table += tableBase;
        } else {
            format = m_paragraphs[static_cast<std::size_t>(para)].format;
        }
        ++next;
        added.push_back({pos + o + 1, std::move(format)});
    }
    for (std::size_t i = static_cast<std::size_t>(para); i < m_paragraphs.size(); ++i)
        m_paragraphs[i].end += n;
    m_paragraphs.insert(m_paragraphs.begin() + para, added.begin(), added.end());

    const auto firstAfter = std::lower_bound(m_sectionBreaks.begin(), m_sectionBreaks.end(), pos);
    for (auto it = firstAfter; it != m_sectionBreaks.end(); ++it) *it += n;
    m_sectionBreaks.insert(std::lower_bound(m_sectionBreaks.begin(), m_sectionBreaks.end(), pos),
                           breaks.begin(), breaks.end());

    m_spans.inserted(pos, n);

    // The items are merged in all at once: a fragment with many of them (a table of contents
    // near the start of a long document) costs one pass, not one per item.
    std::vector<Bookmark> bookmarks;
    std::unordered_set<std::u16string> names;
    for (const Bookmark& b : content.bookmarks) {
        if (findBookmark(b.name) || !names.insert(lowerAscii(b.name)).second) continue;
        Bookmark& kept = bookmarks.emplace_back(b);
        kept.start += pos;
        kept.end += pos;
    }
    addBookmarks(bookmarks);
    addAllInOrder(m_hyperlinks, shifted<Hyperlink>(content.hyperlinks, pos));
    addAllInOrder(m_fields, shifted<Field>(content.fields, pos));
    addAllInOrder(m_pictures, shifted<InlinePicture>(content.pictures, pos));
    for (Shape s : content.shapes) {
        s.start += pos;
        s.end += pos;
        addShape(s);
    }
}

std::pair<int, int> Story::remove(int from, int to) {
    std::tie(from, to) =
        wholeFields(std::clamp(from, 0, length() - 1), std::clamp(to, 0, length() - 1));
    to = std::min(to, length() - 1);
    if (to <= from) return {from, from};
    const int n = to - from;

    // Paragraphs whose marks go: those ending in (from, to].
    const auto firstGone =
        std::upper_bound(m_paragraphs.begin(), m_paragraphs.end(), from,
                         [](int p, const Paragraph& para) { return p < para.end; });
    const auto firstKept =
        std::upper_bound(m_paragraphs.begin(), m_paragraphs.end(), to,
                         [](int p, const Paragraph& para) { return p < para.end; });
    for (auto it = firstKept; it != m_paragraphs.end(); ++it) it->end -= n;
    m_paragraphs.erase(firstGone, firstKept);

    const auto breaksFrom = std::lower_bound(m_sectionBreaks.begin(), m_sectionBreaks.end(), from);
    const auto breaksTo = std::lower_bound(m_sectionBreaks.begin(), m_sectionBreaks.end(), to);
    for (auto it = breaksTo; it != m_sectionBreaks.end(); ++it) *it -= n;
    m_sectionBreaks.erase(breaksFrom, breaksTo);

    m_text.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(n));
    m_charFormat.erase(m_charFormat.begin() + from, m_charFormat.begin() + to);

    // Items wholly inside the removed text collapse onto `from`; all but bookmarks go.
    auto inside = [&](const Span* s) { return s->start >= from && s->end <= to; };
    std::vector<Hyperlink*> links;
    std::vector<Field*> fieldsGone;
    std::vector<InlinePicture*> picturesGone;
    std::vector<Shape*> shapesGone;
    for (const auto& h : m_hyperlinks)
        if (inside(h.get())) links.push_back(h.get());
    for (const auto& f : m_fields)
        if (inside(f.get())) fieldsGone.push_back(f.get());
    for (const auto& p : m_pictures)
        if (inside(p.get())) picturesGone.push_back(p.get());
    for (const auto& s : m_shapes)
        if (inside(s.get())) shapesGone.push_back(s.get());
    for (Hyperlink* h : links) removeItem(m_hyperlinks, h);
    for (Field* f : fieldsGone) removeItem(m_fields, f);
    for (InlinePicture* p : picturesGone) removeItem(m_pictures, p);
    for (Shape* s : shapesGone) removeItem(m_shapes, s);
    m_spans.removed(from, to);
    return {from, to};
}

Fragment Story::copy(int from, int to) const {
    std::tie(from, to) = wholeFields(std::clamp(from, 0, length()), std::clamp(to, 0, length()));
    Fragment f;
    if (to <= from) return f;
    f.text = m_text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    for (int i = from; i < to;) {
        int j = i + 1;
        while (j < to && m_charFormat[static_cast<std::size_t>(j)] ==
                             m_charFormat[static_cast<std::size_t>(i)])
            ++j;
        f.runs.emplace_back(j - i, charFormat(i));
        i = j;
    }
    std::map<int, int> tableIds;  // this story's table number -> the fragment's
    for (int i = from; i < to; ++i) {
        if (!endsParagraph(m_text[static_cast<std::size_t>(i)])) continue;
        ParaFormat format = paragraphFormat(paragraphAt(i));
        for (CellRef& cell : format.cells) {
            const auto [it, added] =
                tableIds.emplace(cell.table, static_cast<int>(f.tables.size()));
            if (added) f.tables.push_back(m_tables[static_cast<std::size_t>(cell.table)]);
            cell.table = it->second;
        }
        f.paragraphs.push_back(std::move(format));
    }
    auto within = [&](const Span* s) { return s->start >= from && s->end <= to; };
    for (const auto& b : m_bookmarks)
        if (within(b.get())) {
            Bookmark copy = *b;
            copy.start -= from;
            copy.end -= from;
            f.bookmarks.push_back(copy);
        }
    for (const auto& h : m_hyperlinks) {
        Hyperlink copy = *h;
        copy.start = std::max(copy.start, from) - from;
        copy.end = std::min(copy.end, to) - from;
        if (copy.start < copy.end) f.hyperlinks.push_back(copy);
    }
    for (const auto& x : m_fields)
        if (within(x.get())) f.fields.push_back(Field{{x->start - from, x->end - from}});
    for (const auto& p : m_pictures)
        if (within(p.get())) {
            InlinePicture copy = *p;
            copy.start -= from;
            copy.end -= from;
            f.pictures.push_back(copy);
        }
    for (const auto& s : m_shapes)
        if (within(s.get())) {
            Shape copy = *s;
            copy.start -= from;
            copy.end -= from;
            f.shapes.push_back(copy);
        }
    return f;
}

std::string Story::checkInvariants() const {
    if (m_text.empty() || m_text.back() != kParagraphMark)
        return "the story does not end with a paragraph mark";
    if (m_charFormat.size() != m_text.size())
        return "character formatting and text differ in length";
    for (std::uint32_t id : m_charFormat)
        if (id >= m_formats.size()) return "character formatting out of range";
    // Paragraphs end exactly at the paragraph ends of the text.
    std::size_t para = 0;
    std::vector<int> breaks;
    int pictureChars = 0;
    int depth = 0;
    for (int i = 0; i < length(); ++i) {
        const char16_t c = m_text[static_cast<std::size_t>(i)];
        if (c == kSectionBreak) breaks.push_back(i);
        if (c == kPictureChar) ++pictureChars;
        if (c == kFieldBegin) ++depth;
        if (c == kFieldEnd && --depth < 0) return at("field end without a begin", i);
        if (!endsParagraph(c)) continue;
        if (para >= m_paragraphs.size() || m_paragraphs[para].end != i + 1)
            return at("paragraph list out of step with the paragraph mark", i);
        const ParaFormat& format = m_paragraphs[para].format;
        if (c == kCellMark && format.cells.empty()) return at("cell end outside a table", i);
        for (const CellRef& cell : format.cells)
            if (cell.table < 0 || cell.table >= static_cast<int>(m_tables.size()))
                return at("paragraph in a table that does not exist", i);
        ++para;
    }
    if (depth != 0) return "field begin without an end";
    if (para != m_paragraphs.size()) return "more paragraphs than paragraph marks";
    if (breaks != m_sectionBreaks) return "section breaks out of step with the text";
    if (pictureChars != static_cast<int>(m_pictures.size()))
        return "picture characters and pictures differ in number";

    std::set<const Span*> tracked(m_spans.spans().begin(), m_spans.spans().end());
    const Span* previous = nullptr;
    for (const Span* s : m_spans.spans()) {
        if (s->start < 0 || s->start > s->end || s->end > length())
            return at("span out of bounds", s->start);
        if (previous &&
            (previous->end > s->end || (previous->end == s->end && previous->start > s->start)))
            return "span index out of order";
        previous = s;
    }
    auto checkOrder = [&](const auto& items, const char* what) -> std::string {
        int last = -1;
        for (const auto& item : items) {
            if (!tracked.contains(item.get()))
                return std::string(what) + " not kept in step with edits";
            if (item->start < last) return std::string(what) + " out of document order";
            last = item->start;
        }
        return {};
    };
    for (const std::string& problem :
         {checkOrder(m_bookmarks, "bookmark"), checkOrder(m_hyperlinks, "hyperlink"),
          checkOrder(m_fields, "field"), checkOrder(m_pictures, "picture"),
          checkOrder(m_shapes, "shape")})
        if (!problem.empty()) return problem;
    if (m_bookmarksByName.size() != m_bookmarks.size()) return "bookmark names out of step";
    for (const auto& b : m_bookmarks)
        if (findBookmark(b->name) != b.get()) return "bookmark name index out of step";
    for (const auto& h : m_hyperlinks)
        if (h->start >= h->end) return at("empty hyperlink", h->start);
    for (const auto& f : m_fields) {
        if (m_text[static_cast<std::size_t>(f->start)] != kFieldBegin ||
            m_text[static_cast<std::size_t>(f->end - 1)] != kFieldEnd)
            return at("field does not span its begin and end characters", f->start);
    }
    for (const auto& p : m_pictures)
        if (p->end != p->start + 1 || m_text[static_cast<std::size_t>(p->start)] != kPictureChar)
            return at("picture not over a picture character", p->start);
    for (const auto& s : m_shapes)
        if (s->end != s->start + 1) return at("shape anchor is not one character", s->start);
    return {};
}

}  // namespace quillet::engine
