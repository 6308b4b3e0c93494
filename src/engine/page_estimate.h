// A rough pagination of the body, for the page numbers a table of contents shows before a word
// processor lays the document out. It breaks no lines: a paragraph takes as many lines as its
// text would fill at an average character width for its largest font size, plus its spacing,
// pictures and page breaks, and a table row as much as its fullest cell. It is an estimate; Word
// replaces it when it updates the fields, and PDF output has LibreOffice put its own.
#pragma once

#include "engine/document_model.h"

#include <vector>

namespace quillet::engine {

// The page numbers, as the footers would show them (sections that restart numbering counted),
// of the body positions `positions`, in their order. A position outside the body gets the last
// page's number.
// Whether `c` takes a whole em in common fonts: Chinese, Japanese and Korean characters and
// full-width forms.
bool isWideCharacter(char16_t c);

std::vector<int> estimatePageNumbers(const DocumentModel& model, const std::vector<int>& positions);

}  // namespace quillet::engine
