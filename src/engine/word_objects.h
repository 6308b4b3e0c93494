// The engine's automation objects behind "Word.Application": the application, its documents and
// everything reached from them (ranges, fonts, paragraph formats, styles, bookmarks, hyperlinks,
// tables of contents, sections, headers and footers, shapes, page setup). Internal to the engine:
// callers reach these only through the automation interface. Member tables live in the .cpp files.
#pragma once

#include "automation/member_table.h"
#include "engine/document_model.h"
#include "engine/word_engine.h"

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillet::engine {

struct DocumentState;
class ReadAhead;

struct ApplicationState {
    std::map<std::u16string, bool> options;  // the Boolean options, by lower-cased name
    std::u16string defaultSaveFormat;        // "" is Word's own format
    bool visible = false;
    bool quit = false;
    int documentsCreated = 0;
    std::vector<std::shared_ptr<DocumentState>> documents;  // open documents, oldest first
    std::shared_ptr<ReadAhead> readAhead;  // started by the first Documents.ReadAhead
};

struct DocumentState {
    DocumentModel model;
    std::u16string fullName;  // the file it was opened from or saved as; else "DocumentN"
    bool closed = false;
    std::weak_ptr<ApplicationState> app;
};

// Throws "the document is closed" for a closed document.
void checkOpen(const DocumentState& doc);

// The position, counted from 0, that argument `arg` of Item names in a collection of `count`
// members numbered from 1; throws the argument's out-of-range error for any other number.
std::size_t itemIndex(const CallArgs& a, std::size_t arg, int count);

// The members of a collection numbered from 1, as automation collections are: Count, Item(Index)
// and then `others`. `count(self)` gives how many members there are (and throws where the
// collection cannot be read); `item(self, i)` the member at `i`, counted from 0, once Item has
// refused an index outside 1 to Count.
template <class Self, class Count, class Item>
std::vector<typename MemberTable<Self>::Member> collectionMembers(
    Count count, Item item, std::initializer_list<typename MemberTable<Self>::Member> others = {}) {
    std::vector<typename MemberTable<Self>::Member> list;
    list.emplace_back(u"Count", std::vector<std::u16string_view>{},
                      [count](Self& self, const CallArgs&) { return Variant(count(self)); });
    list.emplace_back(u"Item", std::vector<std::u16string_view>{u"Index"},
                      [count, item](Self& self, const CallArgs& a) {
                          const int n = count(self);
                          return Variant(item(self, itemIndex(a, 0, n)));
                      });
    list.insert(list.end(), others);
    return list;
}

class RangeObject : public TableDispatch<RangeObject>,
                    public std::enable_shared_from_this<RangeObject> {
public:
    RangeObject(std::shared_ptr<DocumentState> doc, std::shared_ptr<Story> story, int start,
                int end);
    ~RangeObject() override;
    RangeObject(const RangeObject&) = delete;
    RangeObject& operator=(const RangeObject&) = delete;
    static const MemberTable<RangeObject>& members();

    int start() const { return m_span.start; }
    int end() const { return m_span.end; }
    void setSpan(int start, int end);  // clamped to the story
    DocumentState& doc() const;        // throws for a closed document
    const std::shared_ptr<DocumentState>& docState() const { return m_doc; }
    const std::shared_ptr<Story>& story() const { return m_story; }
    bool inBody() const { return m_story == m_doc->model.bodyStory(); }

    void collapse(int direction);
    void insertAfter(std::u16string_view text);
    void insertBefore(std::u16string_view text);
    void insertBreak(int type);
    void setText(std::u16string_view text);
    // Replaces the range's content with `content` (inserted at its start) and covers it.
    void replaceWith(Fragment content);
    void setStyle(const Variant& style);
    Variant style() const;
    int expand(int unit);
    Object goTo(int what, int which, int count, const std::u16string& name) const;
    void copy() const;
    void paste();

private:
    std::shared_ptr<DocumentState> m_doc;
    std::shared_ptr<Story> m_story;
    Span m_span;
};

// A new range object over [start, end) of `story`.
Object makeRange(const std::shared_ptr<DocumentState>& doc, const std::shared_ptr<Story>& story,
                 int start, int end);
// The range object behind `value`, or null when it is none.
RangeObject* asRange(const Variant& value);

// The paragraph style index that a style argument names: a Style object, a name, a built-in
// style number (negative) or an index from 1. Throws AutomationError when there is no such style.
int resolveStyle(DocumentModel& model, const Variant& style);
// A Style object for the style at `index`.
Object makeStyle(const std::shared_ptr<DocumentState>& doc, int index);

// The formatting a character shows: document defaults, its paragraph's style, its character
// style and its direct formatting, in that order.
CharFormat effectiveCharFormat(const DocumentModel& model, const Story& story, int pos);
// The formatting a paragraph shows: its style's, then its direct formatting.
ParaFormat effectiveParaFormat(const DocumentModel& model, const Story& story, int paragraph);

// Font and paragraph format objects over a range or over a style.
Object makeRangeFont(std::shared_ptr<RangeObject> range);
Object makeStyleFont(std::shared_ptr<DocumentState> doc, int style);
Object makeRangeParagraphFormat(std::shared_ptr<RangeObject> range);
Object makeStyleParagraphFormat(std::shared_ptr<DocumentState> doc, int style);
Object makeParagraphs(std::shared_ptr<RangeObject> range);

// Collections and objects of a document.
Object makeDocument(const std::shared_ptr<DocumentState>& doc);
Object makeStyles(const std::shared_ptr<DocumentState>& doc);
Object makeBookmarks(const std::shared_ptr<DocumentState>& doc);
Object makeHyperlinks(const std::shared_ptr<DocumentState>& doc);
Object makeTablesOfContents(const std::shared_ptr<DocumentState>& doc);
Object makeSections(const std::shared_ptr<DocumentState>& doc);
Object makeSection(const std::shared_ptr<DocumentState>& doc, int index);
Object makePageSetup(const std::shared_ptr<DocumentState>& doc, int section);  // -1: all
Object makeInlineShapes(const std::shared_ptr<DocumentState>& doc);
Object makeShapes(const std::shared_ptr<DocumentState>& doc,
                  std::function<std::shared_ptr<Story>()> story);

// Saving: format 12 writes .docx, format 0 a Word 97-2003 .doc and 17 a PDF through LibreOffice.
void saveDocument(DocumentState& doc, const std::u16string& path, int format);

}  // namespace quillet::engine
