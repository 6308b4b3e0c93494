// A piece of a story taken out for the clipboard or for inserting: its characters with their
// formatting, its paragraphs, and the bookmarks, hyperlinks, fields, pictures, shapes, tables and
// sections inside it, positioned relative to its start. Style, table and list numbers refer to the
// fragment's own style sheet, tables and lists until it is inserted. Character and paragraph
// formatting is kept once per distinct value in the fragment's own tables; runs and paragraphs name
// it by number.
#pragma once

#include "engine/format_table.h"
#include "engine/formats.h"
#include "engine/lists.h"
#include "engine/section.h"
#include "engine/story_items.h"
#include "engine/styles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::engine {

// `length` characters in the formatting numbered `format`.
struct FragmentRun {
    int length = 0;
    std::uint32_t format = 0;
    bool operator==(const FragmentRun&) const = default;
};

struct Fragment {
    std::u16string text;
    // Runs covering `text` in order, numbering into charFormats.
    std::vector<FragmentRun> runs;
    FormatTable<CharFormat> charFormats;
    // One per paragraph end in `text`, in order, numbering into paraFormats. When empty, each
    // paragraph end inserted takes the formatting of the paragraph it splits.
    std::vector<std::uint32_t> paragraphs;
    FormatTable<ParaFormat> paraFormats;
    std::vector<Bookmark> bookmarks;
    std::vector<Hyperlink> hyperlinks;
    std::vector<Field> fields;
    std::vector<InlinePicture> pictures;
    std::vector<Shape> shapes;
    std::vector<TableInfo> tables;
    // One per section break in `text`: the section that the break ends. May be empty.
    std::vector<Section> sections;
    // The style sheet that the paragraph styles number into; null when they are already the
    // destination's.
    std::shared_ptr<const StyleSheet> styles;
    // The lists that the paragraphs' list numbers name; null when they are already the
    // destination's. Inserting gives each of them a new list of the destination.
    std::shared_ptr<const ListTable> lists;

    // Plain text in one formatting.
    static Fragment plain(std::u16string text, const CharFormat& format = {});

    const CharFormat& charFormat(const FragmentRun& run) const { return charFormats[run.format]; }
    const ParaFormat& paragraphFormat(std::size_t index) const {
        return paraFormats[paragraphs[index]];
    }

    // Appends `more` to the text in `format`.
    void append(std::u16string_view more, const CharFormat& format);
    // Formats the next `length` characters of the text (appended separately) in `format`.
    void addRun(int length, const CharFormat& format);
    // Adds the formatting of the next paragraph end.
    void addParagraph(const ParaFormat& format);
    // Appends the text of `other` with its character and paragraph formatting, each of its
    // paragraph formats passed through `edit` first. Its items, tables and sections are left to
    // the caller.
    void appendText(const Fragment& other, const std::function<void(ParaFormat&)>& edit = {});
    // Removes the last character from the text and its run; paragraphs and items are left as
    // they are.
    void removeLastCharacter();
    // Rewrites the formatting of every paragraph through `edit`, called once per distinct format
    // in the order the paragraphs first use it.
    void editParagraphFormats(const std::function<void(ParaFormat&)>& edit);
};

}  // namespace quillet::engine
