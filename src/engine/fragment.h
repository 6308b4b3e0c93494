// A piece of a story taken out for the clipboard or for inserting: its characters with their
// formatting, its paragraphs, and the bookmarks, hyperlinks, fields, pictures, shapes, tables and
// sections inside it, positioned relative to its start. Style and table numbers refer to the
// fragment's own style sheet and tables until it is inserted.
#pragma once

#include "engine/formats.h"
#include "engine/section.h"
#include "engine/story_items.h"
#include "engine/styles.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillet::engine {

struct Fragment {
    std::u16string text;
    // (length, formatting) covering `text` in order.
    std::vector<std::pair<int, CharFormat>> runs;
    // One per paragraph end in `text`, in order. When empty, each paragraph end inserted takes
    // the formatting of the paragraph it splits.
    std::vector<ParaFormat> paragraphs;
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

    // Plain text in one formatting.
    static Fragment plain(std::u16string text, const CharFormat& format = {});
};

}  // namespace quillet::engine
