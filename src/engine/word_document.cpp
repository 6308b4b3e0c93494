// Document, with its Styles, Bookmarks, Hyperlinks, TablesOfContents, Indexes and WebOptions.
#include "engine/word_objects.h"

#include "engine/fields.h"
#include "engine/index_field.h"
#include "engine/word_engine.h"
#include "platform/utf.h"
#include "text/east_asian_fonts.h"
#include "text/language_tags.h"

#include <algorithm>

namespace quillet::engine {

namespace {

constexpr int kSaveChanges = -1;
constexpr int kFormatDocx = 12;
constexpr int kFormatPdf = 17;

// ---------------------------------------------------------------------------------------------
// Styles

class StyleObject : public TableDispatch<StyleObject> {
public:
    StyleObject(std::shared_ptr<DocumentState> doc, int index)
        : m_doc(std::move(doc)), m_index(index) {}
    static const MemberTable<StyleObject>& members() {
        using Self = StyleObject;
        static const MemberTable<Self> table(
            u"Style",
            {
                {u"NameLocal",
                 {},
                 [](Self& s, const CallArgs&) { return Variant(s.style().name); }},
                {u"Type",
                 {},
                 [](Self& s, const CallArgs&) {
                     return Variant(static_cast<int>(s.style().type));
                 }},
                {u"BuiltIn",
                 {},
                 [](Self& s, const CallArgs&) { return Variant(s.style().builtin != 0); }},
                {u"BaseStyle",
                 {},
                 [](Self& s, const CallArgs&) {
                     const int base = s.style().basedOn;
                     return Variant(base < 0 ? std::u16string()
                                             : s.m_doc->model.styles().at(base).name);
                 }},
                {u"NextParagraphStyle",
                 {},
                 [](Self& s, const CallArgs&) {
                     const int next = s.style().next;
                     return Variant(makeStyle(s.m_doc, next < 0 ? s.m_index : next));
                 }},
                {u"Font",
                 {},
                 [](Self& s, const CallArgs&) {
                     checkOpen(*s.m_doc);
                     return Variant(makeStyleFont(s.m_doc, s.m_index));
                 }},
                {u"ParagraphFormat",
                 {},
                 [](Self& s, const CallArgs&) {
                     checkOpen(*s.m_doc);
                     return Variant(makeStyleParagraphFormat(s.m_doc, s.m_index));
                 }},
                {u"LanguageIDFarEast",
                 {},
                 [](Self& s, const CallArgs&) {
                     const auto& tag = s.style().font.eastAsiaLanguage;
                     const EastAsianScript* script =
                         tag ? eastAsianScriptOfTag(toUtf8(*tag)) : nullptr;
                     return Variant(script ? script->languageId : 0);
                 },
                 [](Self& s, const CallArgs& a) {
                     // Only Chinese, Japanese and Korean choose glyph forms; others clear it.
                     const EastAsianScript* script = eastAsianScriptOf(a.value().toInt(), 0);
                     s.style().font.eastAsiaLanguage =
                         script ? std::optional<std::u16string>(script->tag) : std::nullopt;
                 }},
                {u"LanguageID",
                 {},
                 [](Self& s, const CallArgs&) {
                     const auto& tag = s.style().font.language;
                     return Variant(tag ? languageIdOfTag(*tag) : 0);
                 },
                 [](Self& s, const CallArgs& a) {
                     // The Normal style's language is the document's: the defaults carry it too,
                     // so that every style and run without one of its own is in it.
                     const std::optional<std::u16string> tag = languageTagOf(a.value().toInt());
                     if (!tag) throw AutomationError(u"unknown language identifier");
                     s.style().font.language = tag;
                     if (s.style().builtin == kStyleNormal)
                         s.m_doc->model.styles().defaults.language = tag;
                 }},
                {u"LinkToListTemplate",
                 {u"ListTemplate", u"ListLevelNumber"},
                 [](Self& s, const CallArgs& a) {
                     if (s.style().type != StyleType::Paragraph)
                         throw AutomationError(u"only paragraph styles take list numbering");
                     // Styles here carry no list numbering; unlinking leaves them so.
                     if (!a.object(0).isNothing())
                         throw AutomationError(u"list templates are not supported");
                     return Variant();
                 }},
            });
        return table;
    }
    int index() const { return m_index; }
    const DocumentState* doc() const { return m_doc.get(); }

private:
    Style& style() {
        checkOpen(*m_doc);
        return m_doc->model.styles().at(m_index);
    }
    std::shared_ptr<DocumentState> m_doc;
    int m_index;
};

class StylesObject : public TableDispatch<StylesObject> {
public:
    explicit StylesObject(std::shared_ptr<DocumentState> doc) : m_doc(std::move(doc)) {}
    static const MemberTable<StylesObject>& members() {
        using Self = StylesObject;
        static const MemberTable<Self> table(
            u"Styles",
            {
                {u"Count",
                 {},
                 [](Self& s, const CallArgs&) {
                     checkOpen(*s.m_doc);
                     return Variant(s.m_doc->model.styles().count());
                 }},
                {u"Item",
                 {u"Index"},
                 [](Self& s, const CallArgs& a) {
                     checkOpen(*s.m_doc);
                     return Variant(makeStyle(s.m_doc, resolveStyle(s.m_doc->model, a[0])));
                 }},
            });
        return table;
    }

private:
    std::shared_ptr<DocumentState> m_doc;
};

// ---------------------------------------------------------------------------------------------
// Bookmarks

bool isHidden(const Bookmark& b) {
    return !b.name.empty() && b.name[0] == u'_';
}

class BookmarkObject : public TableDispatch<BookmarkObject> {
public:
    BookmarkObject(std::shared_ptr<DocumentState> doc, std::shared_ptr<Story> story,
                   std::weak_ptr<Bookmark> bookmark)
        : m_doc(std::move(doc)), m_story(std::move(story)), m_bookmark(std::move(bookmark)) {}
    static const MemberTable<BookmarkObject>& members() {
        using Self = BookmarkObject;
        static const MemberTable<Self> table(
            u"Bookmark",
            {
                {u"Name", {}, [](Self& b, const CallArgs&) { return Variant(b.get()->name); }},
                {u"Range",
                 {},
                 [](Self& b, const CallArgs&) {
                     const auto bm = b.get();
                     return Variant(makeRange(b.m_doc, b.m_story, bm->start, bm->end));
                 }},
                {u"Start", {}, [](Self& b, const CallArgs&) { return Variant(b.get()->start); }},
                {u"End", {}, [](Self& b, const CallArgs&) { return Variant(b.get()->end); }},
                {u"Empty",
                 {},
                 [](Self& b, const CallArgs&) {
                     const auto bm = b.get();
                     return Variant(bm->start == bm->end);
                 }},
                {u"Delete",
                 {},
                 [](Self& b, const CallArgs&) {
                     b.m_story->removeBookmark(b.get().get());
                     return Variant();
                 }},
            });
        return table;
    }

private:
    std::shared_ptr<Bookmark> get() const {
        checkOpen(*m_doc);
        auto b = m_bookmark.lock();
        if (!b) throw AutomationError(u"the bookmark has been deleted");
        return b;
    }
    std::shared_ptr<DocumentState> m_doc;
    std::shared_ptr<Story> m_story;
    std::weak_ptr<Bookmark> m_bookmark;
};

class BookmarksObject : public TableDispatch<BookmarksObject> {
public:
    explicit BookmarksObject(std::shared_ptr<DocumentState> doc) : m_doc(std::move(doc)) {}
    static const MemberTable<BookmarksObject>& members() {
        using Self = BookmarksObject;
        static const MemberTable<Self> table(
            u"Bookmarks",
            {
                {u"Count",
                 {},
                 [](Self& b, const CallArgs&) { return Variant(int(b.shown().size())); }},
                {u"Item",
                 {u"Index"},
                 [](Self& b, const CallArgs& a) {
                     const auto list = b.shown();
                     if (a[0].isString()) {
                         const auto found = b.body().findBookmark(a.text(0));
                         if (!found) throw AutomationError(u"no bookmark named " + a.text(0));
                         return b.wrap(b.body().bookmarks(), found);
                     }
                     const std::size_t index = itemIndex(a, 0, static_cast<int>(list.size()));
                     return b.wrap(b.body().bookmarks(), list[index]);
                 }},
                {u"Exists",
                 {u"Name"},
                 [](Self& b, const CallArgs& a) {
                     return Variant(b.body().findBookmark(a.text(0)) != nullptr);
                 }},
                {u"Add",
                 {u"Name", u"Range"},
                 [](Self& b, const CallArgs& a) {
                     checkOpen(*b.m_doc);
                     const std::u16string name = a.text(0);
                     if (name.empty())
                         throw AutomationError(u"argument Name: a bookmark needs a name");
                     std::shared_ptr<Story> story = b.m_doc->model.bodyStory();
                     int start = 0, end = 0;
                     if (a.has(1)) {
                         RangeObject* r = asRange(a[1]);
                         if (!r || r->docState() != b.m_doc)
                             throw AutomationError(u"argument Range: not a range of this document");
                         story = r->story();
                         start = r->start();
                         end = r->end();
                     }
                     Bookmark& added = story->addBookmark(name, start, end);
                     return b.wrap(story->bookmarks(), &added, story);
                 }},
                {u"ShowHidden",
                 {},
                 [](Self& b, const CallArgs&) {
                     checkOpen(*b.m_doc);
                     return Variant(b.m_doc->model.showHiddenBookmarks);
                 },
                 [](Self& b, const CallArgs& a) {
                     checkOpen(*b.m_doc);
                     b.m_doc->model.showHiddenBookmarks = a.value().toBool();
                 }},
            });
        return table;
    }

private:
    Story& body() const {
        checkOpen(*m_doc);
        return m_doc->model.body();
    }
    std::vector<Bookmark*> shown() const {
        std::vector<Bookmark*> list;
        for (const auto& b : body().bookmarks())
            if (m_doc->model.showHiddenBookmarks || !isHidden(*b)) list.push_back(b.get());
        return list;
    }
    Variant wrap(const std::vector<std::shared_ptr<Bookmark>>& all, const Bookmark* which,
                 std::shared_ptr<Story> story = nullptr) const {
        if (!story) story = m_doc->model.bodyStory();
        // The story keeps its bookmarks in order of their starts: look among those that start
        // where `which` does, not through all of them (a long document adds tens of thousands).
        const auto first = std::lower_bound(
            all.begin(), all.end(), which->start,
            [](const std::shared_ptr<Bookmark>& b, int start) { return b->start < start; });
        for (auto it = first; it != all.end() && (*it)->start == which->start; ++it)
            if (it->get() == which)
                return Variant(Object(std::make_shared<BookmarkObject>(m_doc, story, *it)));
        for (const auto& b : all)
            if (b.get() == which)
                return Variant(Object(std::make_shared<BookmarkObject>(m_doc, story, b)));
        throw AutomationError(u"bookmark not found");
    }
    std::shared_ptr<DocumentState> m_doc;
};

// ---------------------------------------------------------------------------------------------
// Hyperlinks

class HyperlinkObject : public TableDispatch<HyperlinkObject> {
public:
    HyperlinkObject(std::shared_ptr<DocumentState> doc, std::shared_ptr<Story> story,
                    std::weak_ptr<Hyperlink> link)
        : m_doc(std::move(doc)), m_story(std::move(story)), m_link(std::move(link)) {}
    static const MemberTable<HyperlinkObject>& members() {
        using Self = HyperlinkObject;
        static const MemberTable<Self> table(
            u"Hyperlink",
            {
                {u"Address",
                 {},
                 [](Self& h, const CallArgs&) { return Variant(h.get()->address); }},
                {u"SubAddress",
                 {},
                 [](Self& h, const CallArgs&) { return Variant(h.get()->subAddress); }},
                {u"ScreenTip",
                 {},
                 [](Self& h, const CallArgs&) { return Variant(h.get()->screenTip); },
                 [](Self& h, const CallArgs& a) { h.get()->screenTip = a.value().toString(); }},
                {u"TextToDisplay",
                 {},
                 [](Self& h, const CallArgs&) {
                     const auto link = h.get();
                     return Variant(h.m_story->text(link->start, link->end));
                 }},
                {u"Range",
                 {},
                 [](Self& h, const CallArgs&) {
                     const auto link = h.get();
                     return Variant(makeRange(h.m_doc, h.m_story, link->start, link->end));
                 }},
                {u"Delete",
                 {},
                 [](Self& h, const CallArgs&) {
                     h.m_story->removeHyperlink(h.get().get());
                     return Variant();
                 }},
            });
        return table;
    }

private:
    std::shared_ptr<Hyperlink> get() const {
        checkOpen(*m_doc);
        auto h = m_link.lock();
        if (!h) throw AutomationError(u"the hyperlink has been deleted");
        return h;
    }
    std::shared_ptr<DocumentState> m_doc;
    std::shared_ptr<Story> m_story;
    std::weak_ptr<Hyperlink> m_link;
};

class HyperlinksObject : public TableDispatch<HyperlinksObject> {
public:
    explicit HyperlinksObject(std::shared_ptr<DocumentState> doc) : m_doc(std::move(doc)) {}
    static const MemberTable<HyperlinksObject>& members() {
        using Self = HyperlinksObject;
        static const MemberTable<Self> table(
            u"Hyperlinks",
            collectionMembers<Self>(
                [](Self& h) {
                    checkOpen(*h.m_doc);
                    return static_cast<int>(h.m_doc->model.body().hyperlinks().size());
                },
                [](Self& h, std::size_t i) {
                    return Object(
                        std::make_shared<HyperlinkObject>(h.m_doc, h.m_doc->model.bodyStory(),
                                                          h.m_doc->model.body().hyperlinks()[i]));
                },
                {
                    {u"Add",
                     {u"Anchor", u"Address", u"SubAddress", u"ScreenTip", u"TextToDisplay",
                      u"Target"},
                     [](Self& h, const CallArgs& a) { return h.add(a); }},
                }));
        return table;
    }

private:
    Variant add(const CallArgs& a) {
        checkOpen(*m_doc);
        RangeObject* anchor = asRange(a[0]);
        if (!anchor || anchor->docState() != m_doc)
            throw AutomationError(u"argument Anchor: not a range of this document");
        Hyperlink link;
        link.address = a.text(1, u"");
        link.subAddress = a.text(2, u"");
        link.screenTip = a.text(3, u"");
        if (link.address.starts_with(u"#") && link.subAddress.empty()) {
            link.subAddress = link.address.substr(1);
            link.address.clear();
        }
        if (link.address.empty() && link.subAddress.empty())
            throw AutomationError(
                u"argument Address: a hyperlink needs an address or a sub-address");
        std::u16string shown = a.text(4, u"");
        if (shown.empty() && anchor->start() == anchor->end())
            shown = link.address.empty() ? link.subAddress : link.address;
        if (!shown.empty()) {
            CharFormat format;
            format.charStyle = u"Hyperlink";
            anchor->replaceWith(Fragment::plain(shown, format));
        } else {
            anchor->story()->formatCharacters(anchor->start(), anchor->end(),
                                              [](CharFormat& f) { f.charStyle = u"Hyperlink"; });
        }
        link.start = anchor->start();
        link.end = anchor->end();
        if (link.start >= link.end) throw AutomationError(u"argument Anchor: the link has no text");
        Story& story = *anchor->story();
        Hyperlink& added = story.addHyperlink(link);
        for (const auto& h : story.hyperlinks())
            if (h.get() == &added)
                return Variant(
                    Object(std::make_shared<HyperlinkObject>(m_doc, anchor->story(), h)));
        return Variant();
    }
    std::shared_ptr<DocumentState> m_doc;
};

// ---------------------------------------------------------------------------------------------
// Tables of contents

class TocObject : public TableDispatch<TocObject> {
public:
    TocObject(std::shared_ptr<DocumentState> doc, std::weak_ptr<Field> field)
        : m_doc(std::move(doc)), m_field(std::move(field)) {}
    static const MemberTable<TocObject>& members() {
        using Self = TocObject;
        static const MemberTable<Self> table(
            u"TableOfContents",
            {
                {u"Range",
                 {},
                 [](Self& t, const CallArgs&) {
                     const auto f = t.get();
                     return Variant(
                         makeRange(t.m_doc, t.m_doc->model.bodyStory(), f->start, f->end));
                 }},
                {u"Update",
                 {},
                 [](Self& t, const CallArgs&) {
                     updateTableOfContents(t.m_doc->model, *t.get());
                     return Variant();
                 }},
                {u"UpdatePageNumbers",
                 {},
                 [](Self& t, const CallArgs&) {
                     t.get();
                     t.m_doc->model.updateFieldsOnOpen = true;
                     return Variant();
                 }},
                {u"UpperHeadingLevel",
                 {},
                 [](Self& t, const CallArgs&) { return Variant(t.options().upperLevel); }},
                {u"LowerHeadingLevel",
                 {},
                 [](Self& t, const CallArgs&) { return Variant(t.options().lowerLevel); }},
                {u"UseHyperlinks",
                 {},
                 [](Self& t, const CallArgs&) { return Variant(t.options().useHyperlinks); }},
                {u"UseOutlineLevels",
                 {},
                 [](Self& t, const CallArgs&) { return Variant(t.options().useOutlineLevels); }},
                {u"IncludePageNumbers",
                 {},
                 [](Self& t, const CallArgs&) { return Variant(t.options().includePageNumbers); }},
                {u"RightAlignPageNumbers",
                 {},
                 [](Self& t, const CallArgs&) {
                     return Variant(t.options().rightAlignPageNumbers);
                 }},
                {u"HidePageNumbersInWeb",
                 {},
                 [](Self& t, const CallArgs&) {
                     return Variant(t.options().hidePageNumbersInWeb);
                 }},
                {u"Delete",
                 {},
                 [](Self& t, const CallArgs&) {
                     const auto f = t.get();
                     t.m_doc->model.remove(t.m_doc->model.body(), f->start, f->end);
                     return Variant();
                 }},
            });
        return table;
    }

private:
    std::shared_ptr<Field> get() const {
        checkOpen(*m_doc);
        auto f = m_field.lock();
        if (!f) throw AutomationError(u"the table of contents has been deleted");
        return f;
    }
    TocOptions options() const { return parseTocFieldCode(m_doc->model.body().fieldCode(*get())); }
    std::shared_ptr<DocumentState> m_doc;
    std::weak_ptr<Field> m_field;
};

class TocsObject : public TableDispatch<TocsObject> {
public:
    explicit TocsObject(std::shared_ptr<DocumentState> doc) : m_doc(std::move(doc)) {}
    static const MemberTable<TocsObject>& members() {
        using Self = TocsObject;
        static const MemberTable<Self> table(
            u"TablesOfContents",
            collectionMembers<Self>(
                [](Self& t) { return static_cast<int>(t.tocs().size()); },
                [](Self& t, std::size_t i) {
                    return Object(std::make_shared<TocObject>(t.m_doc, t.tocs()[i]));
                },
                {
                    {u"Add",
                     {u"Range", u"UseHeadingStyles", u"UpperHeadingLevel", u"LowerHeadingLevel",
                      u"UseFields", u"TableID", u"RightAlignPageNumbers", u"IncludePageNumbers",
                      u"AddedStyles", u"UseHyperlinks", u"HidePageNumbersInWeb",
                      u"UseOutlineLevels"},
                     [](Self& t, const CallArgs& a) { return t.add(a); }},
                }));
        return table;
    }

private:
    std::vector<std::shared_ptr<Field>> tocs() const {
        checkOpen(*m_doc);
        std::vector<std::shared_ptr<Field>> list;
        const Story& body = m_doc->model.body();
        for (const auto& f : body.fields())
            if (isTocField(body, *f)) list.push_back(f);
        return list;
    }
    Variant add(const CallArgs& a) {
        checkOpen(*m_doc);
        RangeObject* range = asRange(a[0]);
        if (!range || range->docState() != m_doc || !range->inBody())
            throw AutomationError(u"argument Range: not a range of this document's main text");
        TocOptions o;
        o.useHeadingStyles = a.boolean(1, true);
        o.upperLevel = a.integer(2, 1);
        o.lowerLevel = a.integer(3, 9);
        if (o.upperLevel < 1 || o.upperLevel > 9) a.outOfRange(2);
        if (o.lowerLevel < o.upperLevel || o.lowerLevel > 9) a.outOfRange(3);
        o.rightAlignPageNumbers = a.boolean(6, true);
        o.includePageNumbers = a.boolean(7, true);
        o.useHyperlinks = a.boolean(9, false);
        o.hidePageNumbersInWeb = a.boolean(10, true);
        o.useOutlineLevels = a.boolean(11, false);
        int pos = range->start();
        if (range->end() > range->start())
            pos = m_doc->model.remove(*range->story(), range->start(), range->end()).first;
        pos = std::min(pos, range->story()->length() - 1);
        const auto field = insertTableOfContents(m_doc->model, pos, o);
        range->setSpan(field->start, field->end);
        return Variant(Object(std::make_shared<TocObject>(m_doc, field)));
    }
    std::shared_ptr<DocumentState> m_doc;
};

// ---------------------------------------------------------------------------------------------
// Indexes

class IndexObject : public TableDispatch<IndexObject> {
public:
    IndexObject(std::shared_ptr<DocumentState> doc, std::weak_ptr<Field> field)
        : m_doc(std::move(doc)), m_field(std::move(field)) {}
    static const MemberTable<IndexObject>& members() {
        using Self = IndexObject;
        static const MemberTable<Self> table(
            u"Index",
            {
                {u"Range",
                 {},
                 [](Self& t, const CallArgs&) {
                     const auto f = t.get();
                     return Variant(
                         makeRange(t.m_doc, t.m_doc->model.bodyStory(), f->start, f->end));
                 }},
                {u"Update",
                 {},
                 [](Self& t, const CallArgs&) {
                     updateIndex(t.m_doc->model, *t.get());
                     return Variant();
                 }},
                {u"HeadingSeparator",
                 {},
                 [](Self& t, const CallArgs&) { return Variant(t.options().headingSeparator); }},
                {u"Type", {}, [](Self& t, const CallArgs&) { return Variant(t.options().type); }},
                {u"NumberOfColumns",
                 {},
                 [](Self& t, const CallArgs&) { return Variant(t.options().columns); }},
                {u"Delete",
                 {},
                 [](Self& t, const CallArgs&) {
                     const auto f = t.get();
                     t.m_doc->model.remove(t.m_doc->model.body(), f->start, f->end);
                     return Variant();
                 }},
            });
        return table;
    }

private:
    std::shared_ptr<Field> get() const {
        checkOpen(*m_doc);
        auto f = m_field.lock();
        if (!f) throw AutomationError(u"the index has been deleted");
        return f;
    }
    IndexOptions options() const {
        return parseIndexFieldCode(m_doc->model.body().fieldCode(*get()));
    }
    std::shared_ptr<DocumentState> m_doc;
    std::weak_ptr<Field> m_field;
};

class IndexesObject : public TableDispatch<IndexesObject> {
public:
    explicit IndexesObject(std::shared_ptr<DocumentState> doc) : m_doc(std::move(doc)) {}
    static const MemberTable<IndexesObject>& members() {
        using Self = IndexesObject;
        static const MemberTable<Self> table(
            u"Indexes",
            collectionMembers<Self>(
                [](Self& t) { return static_cast<int>(t.indexes().size()); },
                [](Self& t, std::size_t i) {
                    return Object(std::make_shared<IndexObject>(t.m_doc, t.indexes()[i]));
                },
                {
                    {u"Add",
                     {u"Range", u"HeadingSeparator", u"RightAlignPageNumbers", u"Type",
                      u"NumberOfColumns", u"AccentedLetters", u"SortBy", u"IndexLanguage"},
                     [](Self& t, const CallArgs& a) { return t.add(a); }},
                    {u"MarkEntry",
                     {u"Range", u"Entry", u"EntryAutoText", u"CrossReference",
                      u"CrossReferenceAutoText", u"BookmarkName", u"Bold", u"Italic", u"Reading"},
                     [](Self& t, const CallArgs& a) { return t.markEntry(a); }},
                }));
        return table;
    }

private:
    std::vector<std::shared_ptr<Field>> indexes() const {
        checkOpen(*m_doc);
        std::vector<std::shared_ptr<Field>> list;
        const Story& body = m_doc->model.body();
        for (const auto& f : body.fields())
            if (isIndexField(body, *f)) list.push_back(f);
        return list;
    }
    RangeObject& bodyRange(const CallArgs& a) const {
        RangeObject* range = asRange(a[0]);
        if (!range || range->docState() != m_doc || !range->inBody())
            throw AutomationError(u"argument Range: not a range of this document's main text");
        return *range;
    }
    Variant add(const CallArgs& a) {
        checkOpen(*m_doc);
        RangeObject& range = bodyRange(a);
        IndexOptions o;
        o.headingSeparator = a.integer(1, 0);
        if (o.headingSeparator < 0 || o.headingSeparator > 4) a.outOfRange(1);
        if (o.headingSeparator == 4) o.headingSeparator = 2;  // the letter, as the engine shows it
        o.type = a.integer(3, 0);
        if (o.type < 0 || o.type > 1) a.outOfRange(3);
        o.columns = a.integer(4, 1);
        if (o.columns < 0 || o.columns > 4) a.outOfRange(4);
        o.columns = std::max(o.columns, 1);
        o.languageId = a.integer(7, 0);
        if (o.languageId == 0)
            o.languageId = languageIdOfTag(indexSortingLanguage(m_doc->model.styles()));
        int pos = range.start();
        if (range.end() > range.start())
            pos = m_doc->model.remove(*range.story(), range.start(), range.end()).first;
        pos = std::min(pos, range.story()->length() - 1);
        const auto field = insertIndex(m_doc->model, pos, o);
        range.setSpan(field->start, field->end);
        return Variant(Object(std::make_shared<IndexObject>(m_doc, field)));
    }
    // Word puts the XE field after the range; the range is left as it was.
    Variant markEntry(const CallArgs& a) {
        checkOpen(*m_doc);
        RangeObject& range = bodyRange(a);
        const std::u16string entry = a.text(1, u"");
        if (entry.find_first_not_of(u' ') == std::u16string::npos)
            throw AutomationError(u"argument Entry: an index entry needs text");
        const int start = range.start(), end = range.end();
        markIndexEntry(m_doc->model, *range.story(), std::min(end, range.story()->length() - 1),
                       entry);
        range.setSpan(start, end);
        return Variant();
    }
    std::shared_ptr<DocumentState> m_doc;
};

// ---------------------------------------------------------------------------------------------
// WebOptions

class WebOptionsObject : public TableDispatch<WebOptionsObject> {
public:
    explicit WebOptionsObject(std::shared_ptr<DocumentState> doc) : m_doc(std::move(doc)) {}
    static const MemberTable<WebOptionsObject>& members() {
        using Self = WebOptionsObject;
        static const MemberTable<Self> table(
            u"WebOptions",
            {
                {u"AllowPNG",
                 {},
                 [](Self& w, const CallArgs&) { return Variant(w.model().allowPng); },
                 [](Self& w, const CallArgs& a) { w.model().allowPng = a.value().toBool(); }},
                {u"TargetBrowser",
                 {},
                 [](Self& w, const CallArgs&) { return Variant(w.model().targetBrowser); },
                 [](Self& w, const CallArgs& a) {
                     const int browser = a.value().toInt();
                     if (browser < 0 || browser > 4) valueOutOfRange(a.value());
                     w.model().targetBrowser = browser;
                 }},
            });
        return table;
    }

private:
    DocumentModel& model() {
        checkOpen(*m_doc);
        return m_doc->model;
    }
    std::shared_ptr<DocumentState> m_doc;
};

// ---------------------------------------------------------------------------------------------
// Document

class DocumentObject : public TableDispatch<DocumentObject> {
public:
    explicit DocumentObject(std::shared_ptr<DocumentState> doc) : m_doc(std::move(doc)) {}
    static const MemberTable<DocumentObject>& members();
    const std::shared_ptr<DocumentState>& state() const { return m_doc; }

private:
    const std::shared_ptr<DocumentState>& open() const {
        checkOpen(*m_doc);
        return m_doc;
    }
    Object whole() const {
        const auto& body = open()->model.bodyStory();
        return makeRange(m_doc, body, 0, body->length());
    }
    void close(int saveChanges) {
        checkOpen(*m_doc);
        if (saveChanges == kSaveChanges && !m_doc->fullName.empty() &&
            m_doc->fullName.find(u'/') != std::u16string::npos)
            saveDocument(*m_doc, m_doc->fullName, kFormatDocx);
        m_doc->closed = true;
        if (auto app = m_doc->app.lock()) std::erase(app->documents, m_doc);
    }

    std::shared_ptr<DocumentState> m_doc;
};

const MemberTable<DocumentObject>& DocumentObject::members() {
    using Self = DocumentObject;
    static const std::vector<std::u16string_view> kSaveAsParams = {u"FileName",
                                                                   u"FileFormat",
                                                                   u"LockComments",
                                                                   u"Password",
                                                                   u"AddToRecentFiles",
                                                                   u"WritePassword",
                                                                   u"ReadOnlyRecommended",
                                                                   u"EmbedTrueTypeFonts",
                                                                   u"SaveNativePictureFormat",
                                                                   u"SaveFormsData",
                                                                   u"SaveAsAOCELetter",
                                                                   u"Encoding",
                                                                   u"InsertLineBreaks",
                                                                   u"AllowSubstitutions",
                                                                   u"LineEnding",
                                                                   u"AddBiDiMarks",
                                                                   u"CompatibilityMode"};
    auto saveAs = [](Self& d, const CallArgs& a) {
        checkOpen(*d.m_doc);
        const std::u16string path = a.text(0);
        const int format = a.integer(1, kFormatDocx);
        if (format != 0 && format != kFormatDocx && format != kFormatPdf) a.outOfRange(1);
        saveDocument(*d.m_doc, path, format);
        d.m_doc->fullName = path;
        return Variant();
    };
    static const MemberTable<Self> table(
        u"Document",
        {
            {u"Content", {}, [](Self& d, const CallArgs&) { return Variant(d.whole()); }},
            {u"Range",
             {u"Start", u"End"},
             [](Self& d, const CallArgs& a) {
                 const auto& body = d.open()->model.bodyStory();
                 const int start = a.integer(0, 0);
                 const int end = a.integer(1, body->length());
                 if (start < 0 || start > body->length()) a.outOfRange(0);
                 if (end < start || end > body->length()) a.outOfRange(1);
                 return Variant(makeRange(d.m_doc, body, start, end));
             }},
            {u"Paragraphs",
             {},
             [](Self& d, const CallArgs&) { return d.whole().get(u"Paragraphs"); }},
            {u"PageSetup",
             {},
             [](Self& d, const CallArgs&) { return Variant(makePageSetup(d.open(), -1)); }},
            {u"WebOptions",
             {},
             [](Self& d, const CallArgs&) {
                 return Variant(Object(std::make_shared<WebOptionsObject>(d.open())));
             }},
            {u"Bookmarks",
             {},
             [](Self& d, const CallArgs&) { return Variant(makeBookmarks(d.open())); }},
            {u"Styles", {}, [](Self& d, const CallArgs&) { return Variant(makeStyles(d.open())); }},
            {u"Hyperlinks",
             {},
             [](Self& d, const CallArgs&) { return Variant(makeHyperlinks(d.open())); }},
            {u"TablesOfContents",
             {},
             [](Self& d, const CallArgs&) { return Variant(makeTablesOfContents(d.open())); }},
            {u"Indexes",
             {},
             [](Self& d, const CallArgs&) {
                 return Variant(Object(std::make_shared<IndexesObject>(d.open())));
             }},
            {u"Sections",
             {},
             [](Self& d, const CallArgs&) { return Variant(makeSections(d.open())); }},
            {u"InlineShapes",
             {},
             [](Self& d, const CallArgs&) { return Variant(makeInlineShapes(d.open())); }},
            {u"Shapes",
             {},
             [](Self& d, const CallArgs&) {
                 auto doc = d.open();
                 return Variant(makeShapes(doc, [doc] { return doc->model.bodyStory(); }));
             }},
            {u"GoTo",
             {u"What", u"Which", u"Count", u"Name"},
             [](Self& d, const CallArgs& a) {
                 const auto& body = d.open()->model.bodyStory();
                 const RangeObject start(d.m_doc, body, 0, 0);
                 return Variant(start.goTo(a.integer(0, 11), a.integer(1, 1), a.integer(2, 1),
                                           a.text(3, u"")));
             }},
            {u"SaveAs", kSaveAsParams, saveAs},
            {u"SaveAs2", kSaveAsParams, saveAs},
            {u"Close",
             {u"SaveChanges", u"OriginalFormat", u"RouteDocument"},
             [](Self& d, const CallArgs& a) {
                 d.close(a.integer(0, 0));
                 return Variant();
             }},
            {u"FullName", {}, [](Self& d, const CallArgs&) { return Variant(d.open()->fullName); }},
            {u"Name",
             {},
             [](Self& d, const CallArgs&) {
                 const std::u16string& full = d.open()->fullName;
                 return Variant(full.substr(full.find_last_of(u'/') + 1));
             }},
        });
    return table;
}

}  // namespace

Object makeStyle(const std::shared_ptr<DocumentState>& doc, int index) {
    return Object(std::make_shared<StyleObject>(doc, index));
}
Object makeStyles(const std::shared_ptr<DocumentState>& doc) {
    return Object(std::make_shared<StylesObject>(doc));
}
Object makeBookmarks(const std::shared_ptr<DocumentState>& doc) {
    return Object(std::make_shared<BookmarksObject>(doc));
}
Object makeHyperlinks(const std::shared_ptr<DocumentState>& doc) {
    return Object(std::make_shared<HyperlinksObject>(doc));
}
Object makeTablesOfContents(const std::shared_ptr<DocumentState>& doc) {
    return Object(std::make_shared<TocsObject>(doc));
}
Object makeDocument(const std::shared_ptr<DocumentState>& doc) {
    return Object(std::make_shared<DocumentObject>(doc));
}

int resolveStyle(DocumentModel& model, const Variant& style) {
    const StyleSheet& sheet = model.styles();
    if (style.isObject()) {
        if (auto* s = dynamic_cast<StyleObject*>(style.toObject().dispatch().get())) {
            if (&s->doc()->model == &model) return s->index();
            // A style of another document stands for the style of the same name here.
            const std::u16string& name = s->doc()->model.styles().at(s->index()).name;
            const int index = sheet.findByName(name);
            if (index < 0) throw AutomationError(u"no style named " + name);
            return index;
        }
        throw AutomationError(u"type mismatch: the object is not a style");
    }
    if (style.isString()) {
        const int index = sheet.findByName(style.toString());
        if (index < 0) throw AutomationError(u"no style named " + style.toString());
        return index;
    }
    const int number = style.toInt();
    if (number < 0) {
        const int index = sheet.findBuiltin(number);
        if (index < 0) throw AutomationError(u"value " + style.describe() + u" is out of range");
        return index;
    }
    if (number < 1 || number > sheet.count())
        throw AutomationError(u"value " + style.describe() + u" is out of range");
    return number - 1;
}

}  // namespace quillet::engine

namespace quillet::engine {

const DocumentModel* documentModel(const Object& document) {
    const auto* d = dynamic_cast<const DocumentObject*>(document.dispatch().get());
    return d ? &d->state()->model : nullptr;
}

std::string checkDocument(const Object& document) {
    const DocumentModel* model = documentModel(document);
    return model ? model->checkInvariants() : std::string("not a document of the engine");
}

}  // namespace quillet::engine
