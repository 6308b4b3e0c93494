// Writes a document model as a .docx package (Office Open XML, transitional): body, styles,
// settings, headers and footers, pictures, hyperlinks, bookmarks, fields, tables and shapes.
// Bookmark names are written as BookmarkNames maps them. Reads nothing but linked picture files.
#pragma once

#include "engine/document_model.h"

#include <string>

namespace quillet::engine {

// Writes `model` to `path` (replacing the file only once the package is complete). The parts are
// written as streams; the body waits in a temporary file beside `path` until the archive takes
// it, and that file goes however the call ends. Throws std::runtime_error naming the file when it
// cannot be written.
void writeDocx(const DocumentModel& model, const std::u16string& path);

}  // namespace quillet::engine
