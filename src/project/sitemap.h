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
//
// Some tools write a contents or index file in plain ASCII, its non-ASCII text as Latin-1
// entities that stand for the bytes of the help file's own code page ("&Acirc;&acirc;" for the
// cp1251 bytes C2 E2). With `entityCodePage` set (see entityBytesCodePage), names and
// addresses made only of such characters, two or more of them in a row somewhere, are read
// again as bytes in that code page; a lone sign ("AutoIt&reg;") keeps its Latin-1 meaning.
void parseContents(std::u16string_view text, TTitleLists& list, int entityCodePage = 0);

// Adds the keyword paths of an index file to the Keywords of every entry in `list` whose Url
// is a page the keyword leads to (without regard to ASCII letter case).
void parseIndex(std::u16string_view text, TTitleLists& list, int entityCodePage = 0);

// `codePage` when the contents or index file `text` looks written that way: it declares no
// character set, holds only ASCII characters, entities give two high characters in a row
// somewhere, and the help file's code page
// is neither Western nor Unicode (where Latin-1 entities mean what they say). 0 otherwise.
int entityBytesCodePage(std::u16string_view text, int codePage);

}  // namespace quillet
