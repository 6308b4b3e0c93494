// The page numbers the document shows, for the fields that print them (a table of contents, an
// index) before any word processor has laid the document out. The engine has no layout of its
// own here: the page layout (engine/layout) registers itself as the numbering.
#pragma once

#include "engine/document_model.h"

#include <functional>
#include <vector>

namespace quillet::engine {

// The number shown on the page of each body position in `positions`, in their order.
using PageNumbering =
    std::function<std::vector<int>(const DocumentModel& model, const std::vector<int>& positions)>;

// Sets the numbering for this process; none gives every position page 1.
void setPageNumbering(PageNumbering numbering);

std::vector<int> pageNumbersOf(const DocumentModel& model, const std::vector<int>& positions);

}  // namespace quillet::engine
