// A story: the text of the document body, or of one header or footer, as Word counts it (every
// paragraph ends with a mark; a section break, a cell end and an inline picture are one character
// each; a story always ends with its final paragraph mark), with the formatting of every character
// and paragraph and the items anchored in it. Edits keep all of it consistent; the story does not
// know styles by name or sections beyond where their breaks lie. Formatting is kept once per
// distinct value: characters in runs of one format number, paragraphs as their end, a number and
// the path of table cells that holds them.
#pragma once

#include "engine/format_table.h"
#include "engine/formats.h"
#include "engine/fragment.h"
#include "engine/span_index.h"
#include "engine/story_items.h"
#include "platform/ascii.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quillet::engine {

// Characters [start, end) of a story in one direct formatting, numbered `format`.
struct FormatRun {
    int start = 0;
    int end = 0;
    std::uint32_t format = 0;
};

class Story {
public:
    // One empty paragraph (its final mark) in the Normal style.
    Story();
    Story(const Story&) = delete;
    Story& operator=(const Story&) = delete;

    int length() const { return static_cast<int>(m_text.size()); }
    // The characters, kept in blocks so that a long story grows without copying all of them.
    const std::deque<char16_t>& text() const { return m_text; }
    std::u16string text(int from, int to) const;

    // Paragraphs, counted from 0. A position belongs to the paragraph whose text or mark holds
    // it; the position after the final mark belongs to the last paragraph.
    int paragraphCount() const { return static_cast<int>(m_paragraphs.size()); }
    int paragraphAt(int pos) const;
    int paragraphStart(int index) const;
    int paragraphEnd(int index) const;  // just after its mark
    // The formatting of a paragraph, its cells included.
    ParaFormat paragraphFormat(int index) const;
    // The table cells that hold a paragraph, outermost first (its formatting's `cells`).
    std::span<const CellRef> paragraphCells(int index) const;
    // Applies `edit` to the formatting of the paragraphs first to last (inclusive).
    void formatParagraphs(int first, int last, const std::function<void(ParaFormat&)>& edit);
    // The first and last paragraph that [from, to) touches; a collapsed range touches its own.
    std::pair<int, int> paragraphsTouched(int from, int to) const;

    // Direct character formatting of the character at `pos`.
    const CharFormat& charFormat(int pos) const;
    // A number shared by all characters of the same direct formatting (for grouping runs).
    std::uint32_t charFormatId(int pos) const { return formatRunAt(pos).format; }
    // The longest stretch of characters around `pos` in the same direct formatting. The next one
    // starts at its end, so a writer walks the runs of a paragraph without a look-up per character.
    FormatRun formatRunAt(int pos) const;
    // Applies `edit` to the direct formatting of the characters [from, to).
    void formatCharacters(int from, int to, const std::function<void(CharFormat&)>& edit);

    // Inserts `content` at `pos` (0 <= pos < length(): never behind the final mark). Style numbers
    // of its paragraphs must already be this document's; tables are added to this story's. A
    // bookmark whose name is taken here is dropped.
    void insert(int pos, const Fragment& content);
    // Removes [from, to), first grown to whole fields and kept before the final mark; returns
    // what was removed. Pictures, shapes, fields and hyperlinks inside go; bookmarks collapse.
    std::pair<int, int> remove(int from, int to);
    // A copy of [from, to), grown to whole fields, with the items inside it. Its styles are unset.
    Fragment copy(int from, int to) const;
    // [from, to) grown to whole fields wherever it holds some but not all of a field's begin,
    // separator and end characters.
    std::pair<int, int> wholeFields(int from, int to) const;

    // Tracks live spans (ranges held by callers) along with the story's own items.
    SpanIndex& spans() { return m_spans; }

    // Bookmarks, names matched without regard to letter case. Adding a name that exists moves
    // that bookmark.
    Bookmark* findBookmark(std::u16string_view name) const;
    Bookmark& addBookmark(const std::u16string& name, int start, int end);
    // Adds bookmarks as addBookmark would one by one, in one pass over the items after the first.
    void addBookmarks(const std::vector<Bookmark>& bookmarks);
    void removeBookmark(Bookmark* bookmark);

    Hyperlink& addHyperlink(const Hyperlink& link);
    void removeHyperlink(Hyperlink* link);
    Field& addField(int start, int end);
    InlinePicture& addPicture(int pos, const PictureData& picture);  // over an existing character
    Shape& addShape(const Shape& shape);
    void removeShape(Shape* shape);

    // The items in document order (by start; ties keep the order they were added in). Holders
    // of an item may keep a weak reference: removing it from the story ends its life.
    const std::vector<std::shared_ptr<Bookmark>>& bookmarks() const { return m_bookmarks; }
    const std::vector<std::shared_ptr<Hyperlink>>& hyperlinks() const { return m_hyperlinks; }
    const std::vector<std::shared_ptr<Field>>& fields() const { return m_fields; }
    const std::vector<std::shared_ptr<InlinePicture>>& pictures() const { return m_pictures; }
    const std::vector<std::shared_ptr<Shape>>& shapes() const { return m_shapes; }
    std::vector<TableInfo>& tables() { return m_tables; }
    const std::vector<TableInfo>& tables() const { return m_tables; }

    // The separator of a field, or -1 when it has none; the code is [start + 1, separator).
    int fieldSeparator(const Field& field) const;
    std::u16string fieldCode(const Field& field) const;

    // Positions of the section breaks, ascending.
    const std::vector<int>& sectionBreaks() const { return m_sectionBreaks; }

    // An empty text when the story is consistent, else what is wrong first.
    std::string checkInvariants() const;

private:
    struct Paragraph {
        int end;               // just after its mark
        std::uint32_t format;  // into m_paraFormats, whose values hold no cells
        std::uint32_t cells;   // into m_cellPaths
    };
    // The cell paths of the paragraphs, kept flat: in a long document most table paragraphs sit in
    // a cell of their own, so a path is not worth a formatting value of its own. Path 0 is empty.
    class CellPaths {
    public:
        std::span<const CellRef> operator[](std::uint32_t id) const {
            return {m_refs.data() + m_starts[id], m_refs.data() + m_starts[id + 1]};
        }
        // The number of `path`: a new one unless it equals the one added last.
        std::uint32_t add(std::span<const CellRef> path);
        std::uint32_t size() const { return static_cast<std::uint32_t>(m_starts.size() - 1); }

    private:
        std::vector<CellRef> m_refs;
        std::vector<std::uint32_t> m_starts{0, 0};
    };
    // The number of `format`'s cells and of the rest of it.
    Paragraph numbered(int end, ParaFormat format);
    // Characters up to `end` (from the previous run's end) are formatted as `format`.
    struct Run {
        int end;
        std::uint32_t format;  // into m_charFormats
    };

    template <class T>
    T& addInOrder(std::vector<std::shared_ptr<T>>& items, std::shared_ptr<T> item);
    // Adds `added` to `items` as addInOrder would one by one, merging them in one pass.
    template <class T>
    void addAllInOrder(std::vector<std::shared_ptr<T>>& items,
                       std::vector<std::shared_ptr<T>> added);
    template <class T>
    void removeItem(std::vector<std::shared_ptr<T>>& items, T* item);
    // Replaces the formatting of the characters [from, to) with `runs` (lengths and formats),
    // which cover what is there now: moves the runs after by the difference.
    void replaceRuns(int from, int to, const std::vector<FragmentRun>& runs);
    std::size_t runIndexAt(int pos) const;

    std::deque<char16_t> m_text;
    std::vector<Run> m_runs;  // ascending ends, the last at length(); neighbours differ
    FormatTable<CharFormat> m_charFormats;
    std::vector<Paragraph> m_paragraphs;
    FormatTable<ParaFormat> m_paraFormats;
    CellPaths m_cellPaths;
    std::vector<int> m_sectionBreaks;
    std::vector<TableInfo> m_tables;

    SpanIndex m_spans;
    std::vector<std::shared_ptr<Bookmark>> m_bookmarks;
    // Bookmarks found by name without regard to letter case; a bookmark's name does not change.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::u16string_view name) const;
        std::size_t operator()(const Bookmark* b) const { return (*this)(b->name); }
    };
    struct NameEqual {
        using is_transparent = void;
        static std::u16string_view name(std::u16string_view n) { return n; }
        static std::u16string_view name(const Bookmark* b) { return b->name; }
        bool operator()(const auto& a, const auto& b) const {
            return equalsIgnoringAsciiCase(name(a), name(b));
        }
    };
    std::unordered_set<Bookmark*, NameHash, NameEqual> m_bookmarksByName;
    std::vector<std::shared_ptr<Hyperlink>> m_hyperlinks;
    std::vector<std::shared_ptr<Field>> m_fields;
    std::vector<std::shared_ptr<InlinePicture>> m_pictures;
    std::vector<std::shared_ptr<Shape>> m_shapes;
};

}  // namespace quillet::engine
