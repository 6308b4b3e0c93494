// Bookmark names as Word and LibreOffice accept them in a file: a letter first, then letters,
// digits and "_", at most 40 characters (and the engine's own hidden "_Toc" names). Other names
// are mapped, the same way for a bookmark and every hyperlink that targets it, without collisions.
#pragma once

#include "engine/document_model.h"

#include <map>
#include <string>
#include <string_view>

namespace quillet::engine {

// True when `name` may be written as it is.
bool isValidBookmarkName(std::u16string_view name);

class BookmarkNames {
public:
    // Gathers every bookmark and hyperlink target of the document's stories. Valid names keep
    // themselves; the others, in order of their lower-cased text, get the name made of their
    // letters, digits and "_" (other characters become "_", a "B" goes before a first character
    // that is not a letter), cut to 40 characters and numbered ("_2", "_3", ...) when taken.
    explicit BookmarkNames(const DocumentModel& model);
    // The name to write for `name`; names matched without regard to letter case.
    std::u16string operator()(std::u16string_view name) const;

private:
    std::map<std::u16string, std::u16string> m_mapped;  // by lower-cased name
};

}  // namespace quillet::engine
