#include "engine/story.h"

#include "platform/ascii.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <map>
#include <optional>
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

constexpr std::uint32_t kUnmapped = std::numeric_limits<std::uint32_t>::max();

}  // namespace

Story::Story() {
    m_charFormats.intern(CharFormat{});
    m_paraFormats.intern(ParaFormat{});
    m_text.push_back(kParagraphMark);
    m_runs.push_back({1, 0});
    m_paragraphs.push_back({1, 0, 0});
}

std::uint32_t Story::CellPaths::add(std::span<const CellRef> path) {
    if (path.empty()) return 0;
    const std::uint32_t last = size() - 1;
    if (last > 0 && std::ranges::equal((*this)[last], path)) return last;
    m_refs.insert(m_refs.end(), path.begin(), path.end());
    m_starts.push_back(static_cast<std::uint32_t>(m_refs.size()));
    return size() - 1;
}

Story::Paragraph Story::numbered(int end, ParaFormat format) {
    const std::uint32_t cells = m_cellPaths.add(format.cells);
    format.cells.clear();
    return {end, m_paraFormats.intern(format), cells};
}

std::u16string Story::text(int from, int to) const {
    from = std::clamp(from, 0, length());
    to = std::clamp(to, from, length());
    return std::u16string(m_text.begin() + from, m_text.begin() + to);
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

ParaFormat Story::paragraphFormat(int index) const {
    const Paragraph& para = m_paragraphs[static_cast<std::size_t>(index)];
    ParaFormat f = m_paraFormats[para.format];
    const std::span<const CellRef> cells = m_cellPaths[para.cells];
    f.cells.assign(cells.begin(), cells.end());
    return f;
}

std::span<const CellRef> Story::paragraphCells(int index) const {
    return m_cellPaths[m_paragraphs[static_cast<std::size_t>(index)].cells];
}

void Story::formatParagraphs(int first, int last, const std::function<void(ParaFormat&)>& edit) {
    first = std::max(first, 0);
    last = std::min(last, paragraphCount() - 1);
    std::pair<std::uint32_t, std::uint32_t> lastIn{kUnmapped, kUnmapped}, lastOut{0, 0};
    for (int i = first; i <= last; ++i) {
        Paragraph& para = m_paragraphs[static_cast<std::size_t>(i)];
        if (std::pair(para.format, para.cells) != lastIn) {
            lastIn = {para.format, para.cells};
            ParaFormat f = paragraphFormat(i);
            edit(f);
            // An edit that leaves the cells alone keeps their path rather than adding it again.
            const std::span<const CellRef> cells = m_cellPaths[para.cells];
            const std::uint32_t cellsOut =
                std::ranges::equal(f.cells, cells) ? para.cells : m_cellPaths.add(f.cells);
            f.cells.clear();
            lastOut = {m_paraFormats.intern(f), cellsOut};
        }
        std::tie(para.format, para.cells) = lastOut;
    }
}

std::pair<int, int> Story::paragraphsTouched(int from, int to) const {
    const int first = paragraphAt(from);
    return {first, to > from ? paragraphAt(to - 1) : first};
}

std::size_t Story::runIndexAt(int pos) const {
    const auto it = std::upper_bound(m_runs.begin(), m_runs.end(), pos,
                                     [](int p, const Run& run) { return p < run.end; });
    return it == m_runs.end() ? m_runs.size() - 1 : static_cast<std::size_t>(it - m_runs.begin());
}

FormatRun Story::formatRunAt(int pos) const {
    const std::size_t i = runIndexAt(pos);
    return {i == 0 ? 0 : m_runs[i - 1].end, m_runs[i].end, m_runs[i].format};
}

const CharFormat& Story::charFormat(int pos) const {
    return m_charFormats[formatRunAt(pos).format];
}

void Story::replaceRuns(int from, int to, const std::vector<FragmentRun>& runs) {
    // The runs from the one before `from` to the one after `to` are rebuilt, so that neighbours
    // of the same formatting merge; those after them only move.
    const std::size_t atFrom = runIndexAt(from);
    const std::size_t first = atFrom > 0 ? atFrom - 1 : 0;
    std::size_t last = to < m_runs.back().end ? runIndexAt(to) : m_runs.size() - 1;
    if (last + 1 < m_runs.size()) ++last;
    const int firstStart = first == 0 ? 0 : m_runs[first - 1].end;
    int added = 0;
    for (const FragmentRun& r : runs) added += r.length;
    const int shift = added - (to - from);

    std::vector<Run> rebuilt;
    auto push = [&](int end, std::uint32_t format) {
        if (!rebuilt.empty() && rebuilt.back().end >= end) return;  // nothing left of it
        if (!rebuilt.empty() && rebuilt.back().format == format)
            rebuilt.back().end = end;
        else
            rebuilt.push_back({end, format});
    };
    int start = firstStart;
    for (std::size_t i = first; i <= last && start < from; ++i) {
        push(std::min(m_runs[i].end, from), m_runs[i].format);
        start = m_runs[i].end;
    }
    int end = from;
    for (const FragmentRun& r : runs) {
        if (r.length <= 0) continue;
        end += r.length;
        push(end, r.format);
    }
    for (std::size_t i = first; i <= last; ++i)
        if (m_runs[i].end > to) push(m_runs[i].end + shift, m_runs[i].format);

    for (std::size_t i = last + 1; i < m_runs.size(); ++i) m_runs[i].end += shift;
    const auto at = m_runs.begin() + static_cast<std::ptrdiff_t>(first);
    m_runs.erase(at, m_runs.begin() + static_cast<std::ptrdiff_t>(last + 1));
    m_runs.insert(m_runs.begin() + static_cast<std::ptrdiff_t>(first), rebuilt.begin(),
                  rebuilt.end());
}

void Story::formatCharacters(int from, int to, const std::function<void(CharFormat&)>& edit) {
    from = std::clamp(from, 0, length());
    to = std::clamp(to, from, length());
    if (to <= from) return;
    std::vector<FragmentRun> runs;
    std::uint32_t lastIn = kUnmapped, lastOut = 0;
    for (std::size_t i = runIndexAt(from); i < m_runs.size(); ++i) {
        const int start = std::max(i == 0 ? 0 : m_runs[i - 1].end, from);
        const int end = std::min(m_runs[i].end, to);
        if (start >= to) break;
        if (m_runs[i].format != lastIn) {
            CharFormat f = m_charFormats[m_runs[i].format];
            edit(f);
            lastIn = m_runs[i].format;
            lastOut = m_charFormats.intern(f);
        }
        runs.push_back({end - start, lastOut});
    }
    replaceRuns(from, to, runs);
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

std::size_t Story::NameHash::operator()(std::u16string_view name) const {
    // FNV-1a over the lower-cased name.
    std::size_t h = 14695981039346656037ull;
    for (const char16_t c : name) {
        h ^= lowerAscii(c);
        h *= 1099511628211ull;
    }
    return h;
}

Bookmark* Story::findBookmark(std::u16string_view name) const {
    const auto it = m_bookmarksByName.find(name);
    return it == m_bookmarksByName.end() ? nullptr : *it;
}

Bookmark& Story::addBookmark(const std::u16string& name, int start, int end) {
    if (Bookmark* old = findBookmark(name)) removeBookmark(old);
    auto b = std::make_shared<Bookmark>();
    b->start = start;
    b->end = end;
    b->name = name;
    Bookmark& added = addInOrder(m_bookmarks, std::move(b));
    m_bookmarksByName.insert(&added);
    return added;
}

void Story::addBookmarks(const std::vector<Bookmark>& bookmarks) {
    std::vector<std::shared_ptr<Bookmark>> added;
    added.reserve(bookmarks.size());
    for (const Bookmark& b : bookmarks) {
        if (const auto it = m_bookmarksByName.find(std::u16string_view(b.name));
            it != m_bookmarksByName.end()) {
            // A name taken moves to the new bookmark, as adding one by one would.
            Bookmark* old = *it;
            const auto fresh = std::find_if(added.begin(), added.end(),
                                            [&](const auto& a) { return a.get() == old; });
            if (fresh != added.end()) {
                m_bookmarksByName.erase(it);
                added.erase(fresh);
            } else {
                removeBookmark(old);
            }
        }
        auto bookmark = std::make_shared<Bookmark>(b);
        m_bookmarksByName.insert(bookmark.get());
        added.push_back(std::move(bookmark));
    }
    addAllInOrder(m_bookmarks, std::move(added));
}

void Story::removeBookmark(Bookmark* bookmark) {
    m_bookmarksByName.erase(bookmark);
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

    // The fragment's formats numbered into this story's, each looked up once.
    std::vector<std::uint32_t> charIds(content.charFormats.size(), kUnmapped);
    std::vector<FragmentRun> runs;
    int covered = 0;
    for (const FragmentRun& run : content.runs) {
        const int count = std::min(run.length, n - covered);
        if (count <= 0) continue;
        std::uint32_t& id = charIds[run.format];
        if (id == kUnmapped) id = m_charFormats.intern(content.charFormats[run.format]);
        runs.push_back({count, id});
        covered += count;
    }
    if (covered < n) runs.push_back({n - covered, runs.empty() ? 0 : runs.back().format});
    replaceRuns(pos, pos, runs);
    m_text.insert(m_text.begin() + pos, content.text.begin(), content.text.end());

    // Each of the fragment's formats is numbered once; its cells move to the tables added above.
    std::vector<std::optional<Paragraph>> paraIds(content.paraFormats.size());
    std::vector<Paragraph> added;
    std::vector<int> breaks;
    std::size_t next = 0;
    for (int o = 0; o < n; ++o) {
        const char16_t c = content.text[static_cast<std::size_t>(o)];
        if (c == kSectionBreak) breaks.push_back(pos + o);
        if (!endsParagraph(c)) continue;
        Paragraph numbers = m_paragraphs[static_cast<std::size_t>(para)];
        if (next < content.paragraphs.size()) {
            std::optional<Paragraph>& id = paraIds[content.paragraphs[next]];
            if (!id) {
                ParaFormat f = content.paraFormats[content.paragraphs[next]];
                for (CellRef& cell : f.cells) cell.table += tableBase;
                id = numbered(0, std::move(f));
            }
            numbers = *id;
        }
        ++next;
        numbers.end = pos + o + 1;
        added.push_back(numbers);
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

    m_text.erase(m_text.begin() + from, m_text.begin() + to);
    replaceRuns(from, to, {});

    // Items wholly inside the removed text collapse onto `from`; all but bookmarks go. Each
    // list and the span index are swept once: taking the items out one by one cost the square
    // of their number (a table of contents of 20,000 linked entries, replaced on each update).
    auto inside = [&](const Span* s) { return s->start >= from && s->end <= to; };
    std::unordered_set<const Span*> gone;
    std::vector<std::shared_ptr<const void>> goneItems;  // alive until the index lets them go
    const auto sweep = [&](auto& items) {
        std::erase_if(items, [&](const auto& item) {
            if (!inside(item.get())) return false;
            gone.insert(item.get());
            goneItems.push_back(item);
            return true;
        });
    };
    sweep(m_hyperlinks);
    sweep(m_fields);
    sweep(m_pictures);
    sweep(m_shapes);
    m_spans.remove(gone);
    goneItems.clear();
    m_spans.removed(from, to);
    return {from, to};
}

Fragment Story::copy(int from, int to) const {
    std::tie(from, to) = wholeFields(std::clamp(from, 0, length()), std::clamp(to, 0, length()));
    Fragment f;
    if (to <= from) return f;
    f.text = text(from, to);
    for (std::size_t i = runIndexAt(from); i < m_runs.size(); ++i) {
        const int start = std::max(i == 0 ? 0 : m_runs[i - 1].end, from);
        if (start >= to) break;
        f.addRun(std::min(m_runs[i].end, to) - start, m_charFormats[m_runs[i].format]);
    }
    std::map<int, int> tableIds;  // this story's table number -> the fragment's
    // this story's format and cells numbers -> the fragment's format number
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> paraIds;
    for (int i = paragraphAt(from); i < paragraphCount(); ++i) {
        const Paragraph& para = m_paragraphs[static_cast<std::size_t>(i)];
        if (para.end - 1 >= to) break;
        if (para.end - 1 < from) continue;
        const auto [known, added] = paraIds.emplace(std::pair(para.format, para.cells), 0);
        if (added) {
            ParaFormat format = paragraphFormat(i);
            for (CellRef& cell : format.cells) {
                const auto [it, newTable] =
                    tableIds.emplace(cell.table, static_cast<int>(f.tables.size()));
                if (newTable) f.tables.push_back(m_tables[static_cast<std::size_t>(cell.table)]);
                cell.table = it->second;
            }
            known->second = f.paraFormats.intern(format);
        }
        f.paragraphs.push_back(known->second);
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
    if (m_runs.empty() || m_runs.back().end != length())
        return "character formatting and text differ in length";
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        if (m_runs[i].format >= m_charFormats.size()) return "character formatting out of range";
        if (i > 0 && m_runs[i].end <= m_runs[i - 1].end) return at("empty run", m_runs[i].end);
        if (i > 0 && m_runs[i].format == m_runs[i - 1].format)
            return at("run not merged with its neighbour", m_runs[i - 1].end);
    }
    if (m_runs.front().end <= 0) return "empty run at 0";
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
        if (m_paragraphs[para].format >= m_paraFormats.size() ||
            m_paragraphs[para].cells >= m_cellPaths.size())
            return at("paragraph formatting out of range", i);
        if (!m_paraFormats[m_paragraphs[para].format].cells.empty())
            return at("cells kept with the paragraph formatting", i);
        const std::span<const CellRef> cells = m_cellPaths[m_paragraphs[para].cells];
        if (c == kCellMark && cells.empty()) return at("cell end outside a table", i);
        for (const CellRef& cell : cells)
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
