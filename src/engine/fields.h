// Fields of the engine: building a field as a fragment, the table of contents (TOC) field with its
// switches, and filling a TOC's result from the document's headings. The page numbers it gives
// come from the registered page numbering (page_numbers.h: the page layout); Word may still
// replace them when it opens the file (the document is marked to have its fields updated then).
#pragma once

#include "engine/document_model.h"
#include "engine/page_numbers.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::engine {

// A field with code `code` (spaces around it are kept as given) and `result` as its result.
Fragment fieldFragment(std::u16string_view code, Fragment result = {});

// The first word of a field code, in upper case ("TOC", "XE", "INDEX"); empty for a blank code.
std::u16string fieldKeyword(std::u16string_view code);

// The page numbers that fields show (the table of contents, the index) come from one place:
// pageNumbersOf (page_numbers.h).

// The options of a TOC field, as TablesOfContents.Add takes them.
struct TocOptions {
    int upperLevel = 1;
    int lowerLevel = 9;
    bool useHeadingStyles = true;
    bool useOutlineLevels = false;
    bool useHyperlinks = false;
    bool includePageNumbers = true;
    bool rightAlignPageNumbers = true;
    bool hidePageNumbersInWeb = false;
    bool operator==(const TocOptions&) const = default;
};

// The code of a TOC field: ` TOC \o "1-3" \h \z \u `.
std::u16string tocFieldCode(const TocOptions& options);
// The options a TOC field code states; switches it lacks keep their defaults.
TocOptions parseTocFieldCode(std::u16string_view code);
// True when the field's code is a TOC field's.
bool isTocField(const Story& story, const Field& field);

// Inserts a TOC field at body position `pos` and fills it; returns the field.
std::shared_ptr<Field> insertTableOfContents(DocumentModel& model, int pos,
                                             const TocOptions& options);
// Replaces the result of a TOC field of the body with one entry per heading (outline level
// within the field's levels, outside the field, with text), in the styles TOC 1 to 9. Each heading
// gets a hidden bookmark "_TocNNNNNNNNN" (kept when it has one); with hyperlinks each entry links
// to it; with page numbers each entry ends with a tab and a PAGEREF field whose result is the
// page number of its heading.
void updateTableOfContents(DocumentModel& model, const Field& field);

}  // namespace quillet::engine
