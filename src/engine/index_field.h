// The index at the back of a document: XE fields mark its entries in the text, an INDEX field
// gathers them. The engine fills the INDEX field's result itself (sorted entries, letter headings,
// sub-entries indented, page numbers from pageNumbersOf); it does no run-in layout and no columns
// of its own: those switches are kept in the code for the word processor that updates the field.
#pragma once

#include "engine/document_model.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::engine {

// The code of an XE field for `entry`, written the way Indexes.MarkEntry takes it: levels
// separated by ":", a colon, semicolon or backslash inside a level escaped with a backslash.
// A quotation mark that is not escaped yet gets its backslash, so that the argument stays one:
// ` XE "main:sub" `.
std::u16string xeFieldCode(std::u16string_view entry);

// One level of an index entry as an XE field names it: its text, and the text it is sorted by
// (after an unescaped ";"), empty when it has none.
struct IndexLevel {
    std::u16string text;
    std::u16string sortAs;
    bool operator==(const IndexLevel&) const = default;
};
// The levels of the entry that an XE field code names, escapes undone; empty when the code is no
// XE field's or its entry is blank.
std::vector<IndexLevel> parseXeFieldCode(std::u16string_view code);

// The switches of an INDEX field, as Indexes.Add takes them.
struct IndexOptions {
    // wdHeadingSeparator: 0 none, 1 a blank line, 2 the letter ("A"), 3 lower case ("a").
    int headingSeparator = 0;
    int type = 0;        // wdIndexType: 0 sub-entries indented, 1 run-in (\r)
    int columns = 1;     // \c, 1 to 4
    int languageId = 0;  // \z, the sorting language's Windows identifier; 0 for none
    bool operator==(const IndexOptions&) const = default;
};

// The code of an INDEX field: ` INDEX \h "A" \c "2" \z "1033" `.
std::u16string indexFieldCode(const IndexOptions& options);
// The options an INDEX field code states; switches it lacks keep their defaults.
IndexOptions parseIndexFieldCode(std::u16string_view code);

// The language an index of the document is sorted in (a language tag): the Normal style's East
// Asian language when the document sets one, else the document's language.
std::u16string indexSortingLanguage(const StyleSheet& sheet);

// True when the field's code is an INDEX field's.
bool isIndexField(const Story& story, const Field& field);

// Inserts an XE field for `entry` at position `pos` of `story`, in hidden text as Word writes it.
void markIndexEntry(DocumentModel& model, Story& story, int pos, std::u16string_view entry);

// Inserts an INDEX field at body position `pos`, fills it, and returns it.
std::shared_ptr<Field> insertIndex(DocumentModel& model, int pos, const IndexOptions& options);
// Replaces the result of an INDEX field of the body with the entries of the body's XE fields:
// merged when their text is equal without regard to letter case, sorted in
// indexSortingLanguage, grouped under letter
// headings (Index Heading) as the field's \h asks, each level a paragraph in Index 1 to Index 9,
// an entry's own marks followed by their page numbers (", 3, 7").
void updateIndex(DocumentModel& model, const Field& field);

}  // namespace quillet::engine
