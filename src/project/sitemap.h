// Reading the contents (.hhc) and index (.hhk) files of a help project: HTML sitemaps of nested
// UL lists whose LI items carry OBJECT params. A small scanner of its own: list structure is
// recognised by the three characters after each "<", params by their text; no tree is built.
#pragma once

#include "project/title_list.h"

#include <string_view>

namespace quillet {

// Appends one entry per named item of a contents file to `list`, with its nesting level (0 for
// the outermost list, -1 before any list opens), first name, first page address and image
// number. Items named only by hyphens are separators and give no entry. An ImageNumber that is
// not a number throws NumberConversionError.
void parseContents(std::u16string_view text, TTitleLists& list);

// Adds the keyword paths of an index file to the Keywords of every entry in `list` whose Url
// is a page the keyword leads to (without regard to ASCII letter case).
void parseIndex(std::u16string_view text, TTitleLists& list);

}  // namespace quillet
