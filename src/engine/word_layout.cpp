// Sections with their headers, footers, page numbers and page setup; floating shapes and inline
// pictures with their link to a file.
#include "engine/word_objects.h"

#include "engine/fields.h"
#include "platform/utf.h"

#include <algorithm>
#include <cmath>

namespace quillet::engine {

namespace {

constexpr int kInlineLinkedPicture = 4;
constexpr int kInlinePicture = 3;

// ---------------------------------------------------------------------------------------------
// PageSetup and LineNumbering

class LineNumberingObject : public TableDispatch<LineNumberingObject> {
public:
    LineNumberingObject(std::shared_ptr<DocumentState> doc, int section)
        : m_doc(std::move(doc)), m_section(section) {}
    static const MemberTable<LineNumberingObject>& members() {
        using Self = LineNumberingObject;
        static const MemberTable<Self> table(
            u"LineNumbering",
            {
                {u"Active",
                 {},
                 [](Self& l, const CallArgs&) {
                     checkOpen(*l.m_doc);
                     return Variant(
                         l.m_doc->model
                             .sections()[static_cast<std::size_t>(std::max(l.m_section, 0))]
                             .page.lineNumbering);
                 },
                 [](Self& l, const CallArgs& a) {
                     checkOpen(*l.m_doc);
                     const bool on = a.value().toBool();
                     auto& sections = l.m_doc->model.sections();
                     for (std::size_t i = 0; i < sections.size(); ++i)
                         if (l.m_section < 0 || static_cast<int>(i) == l.m_section)
                             sections[i].page.lineNumbering = on;
                 }},
            });
        return table;
    }

private:
    std::shared_ptr<DocumentState> m_doc;
    int m_section;
};

class PageSetupObject : public TableDispatch<PageSetupObject> {
public:
    PageSetupObject(std::shared_ptr<DocumentState> doc, int section)
        : m_doc(std::move(doc)), m_section(section) {}
    static const MemberTable<PageSetupObject>& members() {
        using Self = PageSetupObject;
        auto length = [](std::u16string_view name, double PageSetup::*field, double low) {
            return MemberTable<Self>::Member(
                name, {}, [field](Self& p, const CallArgs&) { return Variant(p.read().*field); },
                [field, low](Self& p, const CallArgs& a) {
                    const double v = a.value().toDouble();
                    if (!(v >= low && v <= kMaxLength)) valueOutOfRange(a.value());
                    p.write([&](PageSetup& page) {
                        page.*field = v;
                        if (field == &PageSetup::pageWidth || field == &PageSetup::pageHeight)
                            page.paperSize = paperSizeFor(page.pageWidth, page.pageHeight);
                    });
                });
        };
        static const MemberTable<Self> table(
            u"PageSetup", {
                              {u"PaperSize",
                               {},
                               [](Self& p, const CallArgs&) { return Variant(p.read().paperSize); },
                               [](Self& p, const CallArgs& a) {
                                   const int code = a.value().toInt();
                                   double w = 0, h = 0;
                                   const bool known = paperDimensions(code, w, h);
                                   if (!known && code != kPaperCustom) valueOutOfRange(a.value());
                                   p.write([&](PageSetup& page) {
                                       page.paperSize = code;
                                       if (known) {
                                           page.pageWidth = w;
                                           page.pageHeight = h;
                                       }
                                   });
                               }},
                              length(u"PageWidth", &PageSetup::pageWidth, 1),
                              length(u"PageHeight", &PageSetup::pageHeight, 1),
                              length(u"TopMargin", &PageSetup::topMargin, 0),
                              length(u"BottomMargin", &PageSetup::bottomMargin, 0),
                              length(u"LeftMargin", &PageSetup::leftMargin, 0),
                              length(u"RightMargin", &PageSetup::rightMargin, 0),
                              length(u"HeaderDistance", &PageSetup::headerDistance, 0),
                              length(u"FooterDistance", &PageSetup::footerDistance, 0),
                              {u"LineNumbering",
                               {},
                               [](Self& p, const CallArgs&) {
                                   checkOpen(*p.m_doc);
                                   return Variant(Object(std::make_shared<LineNumberingObject>(
                                       p.m_doc, p.m_section)));
                               }},
                          });
        return table;
    }

private:
    const PageSetup& read() const {
        checkOpen(*m_doc);
        return m_doc->model.sections()[static_cast<std::size_t>(std::max(m_section, 0))].page;
    }
    template <class F>
    void write(F change) {
        checkOpen(*m_doc);
        auto& sections = m_doc->model.sections();
        for (std::size_t i = 0; i < sections.size(); ++i)
            if (m_section < 0 || static_cast<int>(i) == m_section) change(sections[i].page);
    }
    std::shared_ptr<DocumentState> m_doc;
    int m_section;  // -1: the whole document
};

// ---------------------------------------------------------------------------------------------
// Pictures: what InlineShape and a picture Shape share

double scaleOf(double shown, double natural) {
    return natural > 0 ? std::round(shown / natural * 10000.0) / 100.0 : 100.0;
}

void setPictureWidth(PictureData& p, const Variant& value) {
    const double w = value.toDouble();
    if (!(w >= 0 && w <= kMaxLength)) valueOutOfRange(value);
    if (p.lockAspectRatio && p.width > 0) p.height = p.height * w / p.width;
    p.width = w;
}

void setPictureHeight(PictureData& p, const Variant& value) {
    const double h = value.toDouble();
    if (!(h >= 0 && h <= kMaxLength)) valueOutOfRange(value);
    if (p.lockAspectRatio && p.height > 0) p.width = p.width * h / p.height;
    p.height = h;
}

void setPictureScale(PictureData& p, const Variant& value, bool width) {
    const double percent = value.toDouble();
    if (!(percent > 0 && percent <= 10000)) valueOutOfRange(value);
    if (width)
        setPictureWidth(p, Variant(p.naturalWidth * percent / 100.0));
    else
        setPictureHeight(p, Variant(p.naturalHeight * percent / 100.0));
}

// Picture members over a picture reached through `get` (which throws once it is gone).
template <class Self>
void addPictureMembers(std::vector<typename MemberTable<Self>::Member>& list) {
    list.emplace_back(
        u"Width", std::vector<std::u16string_view>{},
        [](Self& s, const CallArgs&) { return Variant(s.picture().width); },
        [](Self& s, const CallArgs& a) { setPictureWidth(s.picture(), a.value()); });
    list.emplace_back(
        u"Height", std::vector<std::u16string_view>{},
        [](Self& s, const CallArgs&) { return Variant(s.picture().height); },
        [](Self& s, const CallArgs& a) { setPictureHeight(s.picture(), a.value()); });
    list.emplace_back(
        u"ScaleWidth", std::vector<std::u16string_view>{},
        [](Self& s, const CallArgs&) {
            const PictureData& p = s.picture();
            return Variant(scaleOf(p.width, p.naturalWidth));
        },
        [](Self& s, const CallArgs& a) { setPictureScale(s.picture(), a.value(), true); });
    list.emplace_back(
        u"ScaleHeight", std::vector<std::u16string_view>{},
        [](Self& s, const CallArgs&) {
            const PictureData& p = s.picture();
            return Variant(scaleOf(p.height, p.naturalHeight));
        },
        [](Self& s, const CallArgs& a) { setPictureScale(s.picture(), a.value(), false); });
    list.emplace_back(
        u"LockAspectRatio", std::vector<std::u16string_view>{},
        [](Self& s, const CallArgs&) { return Variant(s.picture().lockAspectRatio ? -1 : 0); },
        [](Self& s, const CallArgs& a) { s.picture().lockAspectRatio = a.value().toBool(); });
    list.emplace_back(
        u"AlternativeText", std::vector<std::u16string_view>{},
        [](Self& s, const CallArgs&) { return Variant(s.picture().altText); },
        [](Self& s, const CallArgs& a) { s.picture().altText = a.value().toString(); });
}

// LinkFormat of a picture: stores it in the document and breaks its link to the file.
class LinkFormatObject : public TableDispatch<LinkFormatObject> {
public:
    using Access = std::function<PictureData&()>;
    explicit LinkFormatObject(Access access) : m_access(std::move(access)) {}
    static const MemberTable<LinkFormatObject>& members() {
        using Self = LinkFormatObject;
        static const MemberTable<Self> table(
            u"LinkFormat",
            {
                {u"SavePictureWithDocument",
                 {},
                 [](Self& l, const CallArgs&) { return Variant(l.m_access().saveWithDocument); },
                 [](Self& l, const CallArgs& a) {
                     PictureData& p = l.m_access();
                     const bool save = a.value().toBool();
                     if (save && !storePictureBytes(p))
                         throw AutomationError(u"cannot read the picture " + p.sourcePath);
                     p.saveWithDocument = save;
                 }},
                {u"SourceFullName",
                 {},
                 [](Self& l, const CallArgs&) { return Variant(l.m_access().sourcePath); }},
                {u"BreakLink",
                 {},
                 [](Self& l, const CallArgs&) {
                     PictureData& p = l.m_access();
                     if (!p.linked) return Variant();
                     if (!storePictureBytes(p))
                         throw AutomationError(u"cannot read the picture " + p.sourcePath);
                     p.linked = false;
                     p.saveWithDocument = true;
                     return Variant();
                 }},
            });
        return table;
    }

private:
    Access m_access;
};

// ---------------------------------------------------------------------------------------------
// InlineShapes

class InlineShapeObject : public TableDispatch<InlineShapeObject> {
public:
    InlineShapeObject(std::shared_ptr<DocumentState> doc, std::weak_ptr<InlinePicture> picture)
        : m_doc(std::move(doc)), m_picture(std::move(picture)) {}
    static const MemberTable<InlineShapeObject>& members() {
        using Self = InlineShapeObject;
        static const MemberTable<Self> table = [] {
            std::vector<MemberTable<Self>::Member> list;
            list.emplace_back(
                u"Type", std::vector<std::u16string_view>{}, [](Self& s, const CallArgs&) {
                    return Variant(s.picture().linked ? kInlineLinkedPicture : kInlinePicture);
                });
            list.emplace_back(
                u"LinkFormat", std::vector<std::u16string_view>{}, [](Self& s, const CallArgs&) {
                    s.picture();
                    auto weak = s.m_picture;
                    auto doc = s.m_doc;
                    return Variant(
                        Object(std::make_shared<LinkFormatObject>([weak, doc]() -> PictureData& {
                            checkOpen(*doc);
                            auto p = weak.lock();
                            if (!p) throw AutomationError(u"the picture has been deleted");
                            return p->picture;
                        })));
                });
            list.emplace_back(
                u"Range", std::vector<std::u16string_view>{}, [](Self& s, const CallArgs&) {
                    const auto p = s.get();
                    return Variant(
                        makeRange(s.m_doc, s.m_doc->model.bodyStory(), p->start, p->end));
                });
            list.emplace_back(u"Delete", std::vector<std::u16string_view>{},
                              [](Self& s, const CallArgs&) {
                                  const auto p = s.get();
                                  s.m_doc->model.remove(s.m_doc->model.body(), p->start, p->end);
                                  return Variant();
                              });
            addPictureMembers<Self>(list);
            return MemberTable<Self>(u"InlineShape", std::move(list));
        }();
        return table;
    }
    PictureData& picture() { return get()->picture; }

private:
    std::shared_ptr<InlinePicture> get() const {
        checkOpen(*m_doc);
        auto p = m_picture.lock();
        if (!p) throw AutomationError(u"the picture has been deleted");
        return p;
    }
    std::shared_ptr<DocumentState> m_doc;
    std::weak_ptr<InlinePicture> m_picture;
};

class InlineShapesObject : public TableDispatch<InlineShapesObject> {
public:
    explicit InlineShapesObject(std::shared_ptr<DocumentState> doc) : m_doc(std::move(doc)) {}
    static const MemberTable<InlineShapesObject>& members() {
        using Self = InlineShapesObject;
        static const MemberTable<Self> table(
            u"InlineShapes",
            collectionMembers<Self>(
                [](Self& s) {
                    checkOpen(*s.m_doc);
                    return static_cast<int>(s.m_doc->model.body().pictures().size());
                },
                [](Self& s, std::size_t i) {
                    return Object(std::make_shared<InlineShapeObject>(
                        s.m_doc, s.m_doc->model.body().pictures()[i]));
                },
                {
                    {u"AddPicture",
                     {u"FileName", u"LinkToFile", u"SaveWithDocument", u"Range"},
                     [](Self& s, const CallArgs& a) {
                         checkOpen(*s.m_doc);
                         const bool link = a.boolean(1, false);
                         const bool save = a.boolean(2, !link);
                         if (!link && !save) a.outOfRange(2);
                         PictureData picture = loadPicture(a.text(0), link && !save);
                         picture.linked = link;
                         picture.saveWithDocument = save;
                         std::shared_ptr<RangeObject> at;
                         if (a.has(3)) {
                             RangeObject* r = asRange(a[3]);
                             if (!r || r->docState() != s.m_doc || !r->inBody())
                                 throw AutomationError(
                                     u"argument Range: not a range of this document's main text");
                             at = r->shared_from_this();
                         } else {
                             at = std::make_shared<RangeObject>(s.m_doc, s.m_doc->model.bodyStory(),
                                                                0, 0);
                         }
                         Fragment f = Fragment::plain(std::u16string(1, kPictureChar));
                         InlinePicture item;
                         item.start = 0;
                         item.end = 1;
                         item.picture = std::move(picture);
                         f.pictures.push_back(std::move(item));
                         at->replaceWith(std::move(f));
                         for (const auto& p : s.m_doc->model.body().pictures())
                             if (p->start == at->start())
                                 return Variant(
                                     Object(std::make_shared<InlineShapeObject>(s.m_doc, p)));
                         return Variant();
                     }},
                }));
        return table;
    }

private:
    std::shared_ptr<DocumentState> m_doc;
};

// ---------------------------------------------------------------------------------------------
// Shapes

class ShapeObject : public TableDispatch<ShapeObject> {
public:
    ShapeObject(std::shared_ptr<DocumentState> doc, std::shared_ptr<Story> story,
                std::weak_ptr<Shape> shape)
        : m_doc(std::move(doc)), m_story(std::move(story)), m_shape(std::move(shape)) {}
    static const MemberTable<ShapeObject>& members() {
        using Self = ShapeObject;
        static const MemberTable<Self> table = [] {
            std::vector<MemberTable<Self>::Member> list;
            auto position = [](std::u16string_view name, double Shape::*field) {
                return MemberTable<Self>::Member(
                    name, {},
                    [field](Self& s, const CallArgs&) { return Variant(s.get().get()->*field); },
                    [field](Self& s, const CallArgs& a) {
                        const double v = a.value().toDouble();
                        if (!(std::fabs(v) <= kMaxLength)) valueOutOfRange(a.value());
                        s.get().get()->*field = v;
                    });
            };
            list.push_back(position(u"Left", &Shape::left));
            list.push_back(position(u"Top", &Shape::top));
            list.emplace_back(
                u"Type", std::vector<std::u16string_view>{}, [](Self& s, const CallArgs&) {
                    const auto shape = s.get();
                    if (shape->type == kShapeLine) return Variant(kShapeLine);
                    return Variant(shape->picture.linked ? kShapeLinkedPicture : kShapePicture);
                });
            list.emplace_back(
                u"Anchor", std::vector<std::u16string_view>{}, [](Self& s, const CallArgs&) {
                    const auto shape = s.get();
                    return Variant(makeRange(s.m_doc, s.m_story, shape->start, shape->start));
                });
            list.emplace_back(u"Delete", std::vector<std::u16string_view>{},
                              [](Self& s, const CallArgs&) {
                                  s.m_story->removeShape(s.get().get());
                                  return Variant();
                              });
            list.emplace_back(
                u"LinkFormat", std::vector<std::u16string_view>{}, [](Self& s, const CallArgs&) {
                    if (s.get()->type == kShapeLine) throw AutomationError(u"a line has no link");
                    auto weak = s.m_shape;
                    auto doc = s.m_doc;
                    return Variant(
                        Object(std::make_shared<LinkFormatObject>([weak, doc]() -> PictureData& {
                            checkOpen(*doc);
                            auto p = weak.lock();
                            if (!p) throw AutomationError(u"the shape has been deleted");
                            return p->picture;
                        })));
                });
            addPictureMembers<Self>(list);
            return MemberTable<Self>(u"Shape", std::move(list));
        }();
        return table;
    }
    PictureData& picture() { return get()->picture; }

private:
    std::shared_ptr<Shape> get() const {
        checkOpen(*m_doc);
        auto s = m_shape.lock();
        if (!s) throw AutomationError(u"the shape has been deleted");
        return s;
    }
    std::shared_ptr<DocumentState> m_doc;
    std::shared_ptr<Story> m_story;
    std::weak_ptr<Shape> m_shape;
};

class ShapesObject : public TableDispatch<ShapesObject> {
public:
    ShapesObject(std::shared_ptr<DocumentState> doc, std::function<std::shared_ptr<Story>()> story)
        : m_doc(std::move(doc)), m_story(std::move(story)) {}
    static const MemberTable<ShapesObject>& members() {
        using Self = ShapesObject;
        static const MemberTable<Self> table(
            u"Shapes",  // Count and Item, then the ways to add a shape
            collectionMembers<Self>(
                [](Self& s) { return static_cast<int>(s.story()->shapes().size()); },
                [](Self& s, std::size_t i) {
                    const auto story = s.story();
                    return Object(
                        std::make_shared<ShapeObject>(s.m_doc, story, story->shapes()[i]));
                },
                {
                    {u"AddLine",
                     {u"BeginX", u"BeginY", u"EndX", u"EndY", u"Anchor"},
                     [](Self& s, const CallArgs& a) {
                         const double x1 = a.number(0), y1 = a.number(1), x2 = a.number(2),
                                      y2 = a.number(3);
                         for (std::size_t i = 0; i < 4; ++i)
                             if (!(std::fabs(a.number(i)) <= kMaxLength)) a.outOfRange(i);
                         return s.add(a, 4, lineShape(x1, y1, x2, y2));
                     }},
                    {u"AddPicture",
                     {u"FileName", u"LinkToFile", u"SaveWithDocument", u"Left", u"Top", u"Width",
                      u"Height", u"Anchor"},
                     [](Self& s, const CallArgs& a) {
                         Shape shape;
                         const bool link = a.boolean(1, false);
                         const bool save = a.boolean(2, !link);
                         if (!link && !save) a.outOfRange(2);
                         shape.picture = loadPicture(a.text(0), link && !save);
                         shape.picture.linked = link;
                         shape.picture.saveWithDocument = save;
                         shape.type = link ? kShapeLinkedPicture : kShapePicture;
                         shape.left = a.number(3, 0);
                         shape.top = a.number(4, 0);
                         if (a.has(5)) setPictureWidth(shape.picture, a[5]);
                         if (a.has(6)) setPictureHeight(shape.picture, a[6]);
                         return s.add(a, 7, shape);
                     }},
                }));
        return table;
    }

private:
    std::shared_ptr<Story> story() const {
        checkOpen(*m_doc);
        return m_story();
    }
    Variant add(const CallArgs& a, std::size_t anchorArg, Shape shape) {
        const auto story = this->story();
        int pos = 0;
        if (a.has(anchorArg)) {
            RangeObject* r = asRange(a[anchorArg]);
            if (!r || r->docState() != m_doc || r->story() != story)
                throw AutomationError(u"argument Anchor: not a range where these shapes are");
            pos = r->start();
        }
        const int anchor = story->paragraphStart(story->paragraphAt(pos));
        shape.start = anchor;
        shape.end = anchor + 1;
        Shape& added = story->addShape(shape);
        for (const auto& s : story->shapes())
            if (s.get() == &added)
                return Variant(Object(std::make_shared<ShapeObject>(m_doc, story, s)));
        return Variant();
    }
    std::shared_ptr<DocumentState> m_doc;
    std::function<std::shared_ptr<Story>()> m_story;
};

// ---------------------------------------------------------------------------------------------
// Sections, headers and footers, page numbers

class PageNumbersObject : public TableDispatch<PageNumbersObject> {
public:
    PageNumbersObject(std::shared_ptr<DocumentState> doc, int section, bool footer, int index)
        : m_doc(std::move(doc)), m_section(section), m_footer(footer), m_index(index) {}
    static const MemberTable<PageNumbersObject>& members() {
        using Self = PageNumbersObject;
        static const MemberTable<Self> table(
            u"PageNumbers",
            {
                {u"RestartNumberingAtSection",
                 {},
                 [](Self& p, const CallArgs&) { return Variant(p.section().restartNumbering); },
                 [](Self& p, const CallArgs& a) {
                     p.section().restartNumbering = a.value().toBool();
                 }},
                {u"StartingNumber",
                 {},
                 [](Self& p, const CallArgs&) { return Variant(p.section().startingNumber); },
                 [](Self& p, const CallArgs& a) {
                     const int n = a.value().toInt();
                     if (n < 0) valueOutOfRange(a.value());
                     p.section().startingNumber = n;
                 }},
                {u"ShowFirstPageNumber",
                 {},
                 [](Self& p, const CallArgs&) { return Variant(!p.section().titlePage); },
                 [](Self& p, const CallArgs& a) { p.setFirstPage(a.value().toBool()); }},
                {u"Count",
                 {},
                 [](Self& p, const CallArgs&) {
                     const auto story = p.story();
                     int count = 0;
                     for (const auto& f : story->fields())
                         if (story->fieldCode(*f).find(u"PAGE ") != std::u16string::npos) ++count;
                     return Variant(count);
                 }},
                {u"Add",
                 {u"PageNumberAlignment", u"FirstPage"},
                 [](Self& p, const CallArgs& a) {
                     const int alignment = a.integer(0, 2);
                     if (alignment < 0 || alignment > 4) a.outOfRange(0);
                     p.add(alignment == 3 ? 1 : alignment == 4 ? 2 : alignment);
                     p.setFirstPage(a.boolean(1, true));
                     return Variant();
                 }},
            });
        return table;
    }

private:
    Section& section() {
        checkOpen(*m_doc);
        return m_doc->model.sections().at(static_cast<std::size_t>(m_section));
    }
    std::shared_ptr<Story> story() {
        checkOpen(*m_doc);
        return m_doc->model.shownStory(m_section, m_footer, m_index);
    }
    void add(int alignment) {
        const auto s = story();
        DocumentModel& model = m_doc->model;
        int pos = s->length() - 1;
        if (s->length() > 1) {
            model.insertText(*s, pos, std::u16string(1, kParagraphMark));
            pos = s->length() - 1;
        }
        model.insert(*s, pos, fieldFragment(u" PAGE "));
        s->formatParagraphs(s->paragraphCount() - 1, s->paragraphCount() - 1,
                            [&](ParaFormat& f) { f.alignment = alignment; });
    }
    void setFirstPage(bool show) {
        Section& sec = section();
        sec.titlePage = !show;
        if (!show) {
            HeaderFooter& first = m_doc->model.headerFooter(m_section, m_footer, kHeaderFirstPage);
            first.linkToPrevious = false;
            if (!first.story) m_doc->model.shownStory(m_section, m_footer, kHeaderFirstPage);
        }
    }
    std::shared_ptr<DocumentState> m_doc;
    int m_section;
    bool m_footer;
    int m_index;
};

class HeaderFooterObject : public TableDispatch<HeaderFooterObject> {
public:
    HeaderFooterObject(std::shared_ptr<DocumentState> doc, int section, bool footer, int index)
        : m_doc(std::move(doc)), m_section(section), m_footer(footer), m_index(index) {}
    static const MemberTable<HeaderFooterObject>& members() {
        using Self = HeaderFooterObject;
        static const MemberTable<Self> table(
            u"HeaderFooter",
            {
                {u"LinkToPrevious",
                 {},
                 [](Self& h, const CallArgs&) { return Variant(h.get().linkToPrevious); },
                 [](Self& h, const CallArgs& a) {
                     h.check();
                     h.m_doc->model.setLinkToPrevious(h.m_section, h.m_footer, h.m_index,
                                                      a.value().toBool());
                 }},
                {u"Range",
                 {},
                 [](Self& h, const CallArgs&) {
                     h.check();
                     const auto story =
                         h.m_doc->model.shownStory(h.m_section, h.m_footer, h.m_index);
                     return Variant(makeRange(h.m_doc, story, 0, story->length()));
                 }},
                {u"PageNumbers",
                 {},
                 [](Self& h, const CallArgs&) {
                     h.check();
                     return Variant(Object(std::make_shared<PageNumbersObject>(
                         h.m_doc, h.m_section, h.m_footer, h.m_index)));
                 }},
                {u"Shapes",
                 {},
                 [](Self& h, const CallArgs&) {
                     h.check();
                     auto doc = h.m_doc;
                     const int section = h.m_section, index = h.m_index;
                     const bool footer = h.m_footer;
                     return Variant(makeShapes(doc, [doc, section, footer, index] {
                         return doc->model.shownStory(section, footer, index);
                     }));
                 }},
                {u"Exists",
                 {},
                 [](Self& h, const CallArgs&) {
                     h.check();
                     const Section& s =
                         h.m_doc->model.sections()[static_cast<std::size_t>(h.m_section)];
                     return Variant(h.m_index == kHeaderPrimary ||
                                    (h.m_index == kHeaderFirstPage && s.titlePage));
                 }},
                {u"IsHeader", {}, [](Self& h, const CallArgs&) { return Variant(!h.m_footer); }},
                {u"Index", {}, [](Self& h, const CallArgs&) { return Variant(h.m_index); }},
            });
        return table;
    }

private:
    // Throws for a closed document or a deleted section.
    void check() const {
        checkOpen(*m_doc);
        if (m_section >= static_cast<int>(m_doc->model.sections().size()))
            throw AutomationError(u"the section has been deleted");
    }
    HeaderFooter& get() {
        check();
        return m_doc->model.headerFooter(m_section, m_footer, m_index);
    }
    std::shared_ptr<DocumentState> m_doc;
    int m_section;
    bool m_footer;
    int m_index;
};

class HeadersFootersObject : public TableDispatch<HeadersFootersObject> {
public:
    HeadersFootersObject(std::shared_ptr<DocumentState> doc, int section, bool footer)
        : m_doc(std::move(doc)), m_section(section), m_footer(footer) {}
    static const MemberTable<HeadersFootersObject>& members() {
        using Self = HeadersFootersObject;
        static const MemberTable<Self> table(
            u"HeadersFooters",
            collectionMembers<Self>([](Self&) { return 3; },
                                    [](Self& h, std::size_t i) {
                                        checkOpen(*h.m_doc);
                                        return Object(std::make_shared<HeaderFooterObject>(
                                            h.m_doc, h.m_section, h.m_footer,
                                            static_cast<int>(i) + 1));
                                    }));
        return table;
    }

private:
    std::shared_ptr<DocumentState> m_doc;
    int m_section;
    bool m_footer;
};

class SectionObject : public TableDispatch<SectionObject> {
public:
    SectionObject(std::shared_ptr<DocumentState> doc, int index)
        : m_doc(std::move(doc)), m_index(index) {}
    static const MemberTable<SectionObject>& members() {
        using Self = SectionObject;
        static const MemberTable<Self> table(
            u"Section",
            {
                {u"Headers",
                 {},
                 [](Self& s, const CallArgs&) {
                     s.check();
                     return Variant(
                         Object(std::make_shared<HeadersFootersObject>(s.m_doc, s.m_index, false)));
                 }},
                {u"Footers",
                 {},
                 [](Self& s, const CallArgs&) {
                     s.check();
                     return Variant(
                         Object(std::make_shared<HeadersFootersObject>(s.m_doc, s.m_index, true)));
                 }},
                {u"PageSetup",
                 {},
                 [](Self& s, const CallArgs&) {
                     s.check();
                     return Variant(makePageSetup(s.m_doc, s.m_index));
                 }},
                {u"Range",
                 {},
                 [](Self& s, const CallArgs&) {
                     s.check();
                     const auto [start, end] = s.m_doc->model.sectionRange(s.m_index);
                     return Variant(makeRange(s.m_doc, s.m_doc->model.bodyStory(), start, end));
                 }},
                {u"Index", {}, [](Self& s, const CallArgs&) { return Variant(s.m_index + 1); }},
            });
        return table;
    }

private:
    void check() const {
        checkOpen(*m_doc);
        if (m_index >= static_cast<int>(m_doc->model.sections().size()))
            throw AutomationError(u"the section has been deleted");
    }
    std::shared_ptr<DocumentState> m_doc;
    int m_index;  // from 0
};

class SectionsObject : public TableDispatch<SectionsObject> {
public:
    explicit SectionsObject(std::shared_ptr<DocumentState> doc) : m_doc(std::move(doc)) {}
    static const MemberTable<SectionsObject>& members() {
        using Self = SectionsObject;
        static const MemberTable<Self> table(
            u"Sections",
            collectionMembers<Self>(
                [](Self& s) { return s.count(); },
                [](Self& s, std::size_t i) { return makeSection(s.m_doc, static_cast<int>(i)); },
                {
                    {u"First",
                     {},
                     [](Self& s, const CallArgs&) {
                         return Variant(makeSection(s.m_doc, 0 * s.count()));
                     }},
                    {u"Last",
                     {},
                     [](Self& s, const CallArgs&) {
                         return Variant(makeSection(s.m_doc, s.count() - 1));
                     }},
                }));
        return table;
    }

private:
    int count() const {
        checkOpen(*m_doc);
        return static_cast<int>(m_doc->model.sections().size());
    }
    std::shared_ptr<DocumentState> m_doc;
};

}  // namespace

Object makePageSetup(const std::shared_ptr<DocumentState>& doc, int section) {
    return Object(std::make_shared<PageSetupObject>(doc, section));
}
Object makeInlineShapes(const std::shared_ptr<DocumentState>& doc) {
    return Object(std::make_shared<InlineShapesObject>(doc));
}
Object makeShapes(const std::shared_ptr<DocumentState>& doc,
                  std::function<std::shared_ptr<Story>()> story) {
    return Object(std::make_shared<ShapesObject>(doc, std::move(story)));
}
Object makeSections(const std::shared_ptr<DocumentState>& doc) {
    return Object(std::make_shared<SectionsObject>(doc));
}
Object makeSection(const std::shared_ptr<DocumentState>& doc, int index) {
    return Object(std::make_shared<SectionObject>(doc, index));
}

}  // namespace quillet::engine
