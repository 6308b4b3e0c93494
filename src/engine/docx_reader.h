// Reads a .docx package into a document model: everything the engine's writer writes (styles,
// sections with page setup, headers and footers, bookmarks, hyperlinks, fields, tables, pictures
// embedded or linked, shapes, settings), and the common forms other producers use for the same.
// Unknown elements are skipped; their text is kept where it is plain text.
#pragma once

#include "engine/document_model.h"

#include <string>

namespace quillet::engine {

// Fills `model`, which must be new (one empty paragraph), from the file at `path`. Throws
// std::runtime_error naming the file when it is missing or not a Word document.
void readDocx(DocumentModel& model, const std::u16string& path);

}  // namespace quillet::engine
