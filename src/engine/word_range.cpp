// Range, Font, ParagraphFormat, Paragraphs and Paragraph: positions over a story and the
// formatting of what they cover.
#include "engine/word_objects.h"

#include "engine/clipboard.h"
#include "platform/utf.h"

#include <algorithm>
#include <cmath>

namespace quillet::engine {

namespace {

// Word's value for a property that differs across what an object covers.
constexpr int kUndefined = 9999999;

// Word's numbers used by ranges.
constexpr int kCollapseEnd = 0;
constexpr int kCollapseStart = 1;
constexpr int kUnitCharacter = 1;
constexpr int kUnitParagraph = 4;
constexpr int kUnitStory = 6;
constexpr int kGoToBookmark = -1;
constexpr int kGoToSection = 0;
constexpr int kGoToHeading = 11;
constexpr int kGoToFirst = 1;
constexpr int kGoToNext = 2;
constexpr int kGoToPrevious = 3;
constexpr int kGoToLast = -1;

bool isRangeChar(char16_t c) {
    return !endsParagraph(c);
}

}  // namespace

void checkOpen(const DocumentState& doc) {
    if (doc.closed) throw AutomationError(u"the document is closed");
}

std::size_t itemIndex(const CallArgs& a, std::size_t arg, int count) {
    const int index = a.integer(arg);
    if (index < 1 || index > count) a.outOfRange(arg);
    return static_cast<std::size_t>(index - 1);
}

// ---------------------------------------------------------------------------------------------
// Effective formatting

CharFormat effectiveCharFormat(const DocumentModel& model, const Story& story, int pos) {
    pos = std::clamp(pos, 0, story.length() - 1);
    const StyleSheet& sheet = model.styles();
    CharFormat f = sheet.resolvedFont(story.paragraphFormat(story.paragraphAt(pos)).style);
    const CharFormat& direct = story.charFormat(pos);
    if (!direct.charStyle.empty()) {
        const int cs = sheet.findByName(direct.charStyle);
        if (cs >= 0) f.apply(sheet.at(cs).font);
    }
    f.apply(direct);
    return f;
}

ParaFormat effectiveParaFormat(const DocumentModel& model, const Story& story, int paragraph) {
    const ParaFormat direct = story.paragraphFormat(paragraph);
    ParaFormat p = model.styles().resolvedParagraph(direct.style);
    auto take = [](auto& mine, const auto& theirs) {
        if (theirs) mine = theirs;
    };
    take(p.alignment, direct.alignment);
    take(p.outlineLevel, direct.outlineLevel);
    take(p.leftIndent, direct.leftIndent);
    take(p.rightIndent, direct.rightIndent);
    take(p.firstLineIndent, direct.firstLineIndent);
    take(p.spaceBefore, direct.spaceBefore);
    take(p.spaceAfter, direct.spaceAfter);
    take(p.shading, direct.shading);
    take(p.pageBreakBefore, direct.pageBreakBefore);
    take(p.keepWithNext, direct.keepWithNext);
    take(p.lineSpacing, direct.lineSpacing);
    take(p.lineSpacingRule, direct.lineSpacingRule);
    take(p.bottomBorder, direct.bottomBorder);
    take(p.rightTab, direct.rightTab);
    p.list = direct.list;
    p.listLevel = direct.listLevel;
    p.cells = direct.cells;
    return p;
}

// ---------------------------------------------------------------------------------------------
// Font and paragraph properties, shared by the range and style forms of Font and ParagraphFormat

namespace {

struct FontProperty {
    std::u16string_view name;
    Variant (*read)(const CharFormat&);
    void (*write)(CharFormat&, const Variant&);
    Variant mixed;  // what a range of differing values reads as
};

bool flag(const Variant& v) {
    return v.toInt() != 0;
}
bool leavesAlone(const Variant& v) {
    return v.isNumber() && v.toInt() == kUndefined;
}

const std::vector<FontProperty>& fontProperties() {
    static const std::vector<FontProperty> properties = {
        {u"Name", [](const CharFormat& f) { return Variant(f.font.value_or(u"")); },
         [](CharFormat& f, const Variant& v) {
             std::u16string name = v.toString();
             if (name.empty()) valueOutOfRange(v);
             f.font = std::move(name);
         },
         Variant(u"")},
        {u"NameFarEast", [](const CharFormat& f) { return Variant(f.eastAsiaFont.value_or(u"")); },
         [](CharFormat& f, const Variant& v) {
             std::u16string name = v.toString();
             if (name.empty()) valueOutOfRange(v);
             f.eastAsiaFont = std::move(name);
         },
         Variant(u"")},
        {u"Size", [](const CharFormat& f) { return Variant(f.size.value_or(12.0)); },
         [](CharFormat& f, const Variant& v) {
             const double size = v.toDouble();
             if (!(size >= 1 && size <= 1638)) valueOutOfRange(v);
             f.size = std::round(size * 2) / 2;  // Word keeps half points
         },
         Variant(kUndefined)},
        {u"Color", [](const CharFormat& f) { return Variant(f.color.value_or(kAutoColor)); },
         [](CharFormat& f, const Variant& v) {
             const int color = v.toInt();
             if (color > 0xFFFFFF) valueOutOfRange(v);
             f.color = color < 0 ? kAutoColor : color;  // system colours show as automatic
         },
         Variant(kUndefined)},
        {u"Bold", [](const CharFormat& f) { return Variant(f.bold.value_or(false)); },
         [](CharFormat& f, const Variant& v) {
             if (!leavesAlone(v)) f.bold = flag(v);
         },
         Variant(kUndefined)},
        {u"Italic", [](const CharFormat& f) { return Variant(f.italic.value_or(false)); },
         [](CharFormat& f, const Variant& v) {
             if (!leavesAlone(v)) f.italic = flag(v);
         },
         Variant(kUndefined)},
        {u"Underline", [](const CharFormat& f) { return Variant(f.underline.value_or(0)); },
         [](CharFormat& f, const Variant& v) {
             if (leavesAlone(v)) return;
             const int kind = v.toInt();
             if (kind > 27) valueOutOfRange(v);
             f.underline = kind < 0 ? 1 : kind;  // true (-1) is a single line
         },
         Variant(kUndefined)},
        {u"StrikeThrough", [](const CharFormat& f) { return Variant(f.strike.value_or(false)); },
         [](CharFormat& f, const Variant& v) {
             if (!leavesAlone(v)) f.strike = flag(v);
         },
         Variant(kUndefined)},
        {u"Superscript",
         [](const CharFormat& f) { return Variant(f.verticalAlign.value_or(0) == 1); },
         [](CharFormat& f, const Variant& v) {
             if (!leavesAlone(v)) f.verticalAlign = flag(v) ? 1 : 0;
         },
         Variant(kUndefined)},
        {u"Subscript",
         [](const CharFormat& f) { return Variant(f.verticalAlign.value_or(0) == 2); },
         [](CharFormat& f, const Variant& v) {
             if (!leavesAlone(v)) f.verticalAlign = flag(v) ? 2 : 0;
         },
         Variant(kUndefined)},
        {u"Hidden", [](const CharFormat& f) { return Variant(f.hidden.value_or(false)); },
         [](CharFormat& f, const Variant& v) {
             if (!leavesAlone(v)) f.hidden = flag(v);
         },
         Variant(kUndefined)},
    };
    return properties;
}

struct ParaProperty {
    std::u16string_view name;
    Variant (*read)(const ParaFormat&);
    void (*write)(ParaFormat&, const Variant&);
};

void setPoints(std::optional<double>& field, const Variant& v, double low, double high) {
    const double points = v.toDouble();
    if (!(points >= low && points <= high)) valueOutOfRange(v);
    field = points;
}

const std::vector<ParaProperty>& paraProperties() {
    static const std::vector<ParaProperty> properties = {
        {u"Alignment", [](const ParaFormat& p) { return Variant(p.alignment.value_or(0)); },
         [](ParaFormat& p, const Variant& v) {
             const int a = v.toInt();
             if (a < 0 || a > 3) valueOutOfRange(v);
             p.alignment = a;
         }},
        {u"OutlineLevel", [](const ParaFormat& p) { return Variant(p.outlineLevel.value_or(10)); },
         [](ParaFormat& p, const Variant& v) {
             const int level = v.toInt();
             if (level < 1 || level > 10) valueOutOfRange(v);
             p.outlineLevel = level;
         }},
        {u"LeftIndent", [](const ParaFormat& p) { return Variant(p.leftIndent.value_or(0.0)); },
         [](ParaFormat& p, const Variant& v) {
             setPoints(p.leftIndent, v, -kMaxLength, kMaxLength);
         }},
        {u"RightIndent", [](const ParaFormat& p) { return Variant(p.rightIndent.value_or(0.0)); },
         [](ParaFormat& p, const Variant& v) {
             setPoints(p.rightIndent, v, -kMaxLength, kMaxLength);
         }},
        {u"FirstLineIndent",
         [](const ParaFormat& p) { return Variant(p.firstLineIndent.value_or(0.0)); },
         [](ParaFormat& p, const Variant& v) {
             setPoints(p.firstLineIndent, v, -kMaxLength, kMaxLength);
         }},
        {u"SpaceBefore", [](const ParaFormat& p) { return Variant(p.spaceBefore.value_or(0.0)); },
         [](ParaFormat& p, const Variant& v) { setPoints(p.spaceBefore, v, 0, kMaxLength); }},
        {u"SpaceAfter", [](const ParaFormat& p) { return Variant(p.spaceAfter.value_or(0.0)); },
         [](ParaFormat& p, const Variant& v) { setPoints(p.spaceAfter, v, 0, kMaxLength); }},
        {u"PageBreakBefore",
         [](const ParaFormat& p) { return Variant(p.pageBreakBefore.value_or(false)); },
         [](ParaFormat& p, const Variant& v) { p.pageBreakBefore = flag(v); }},
        {u"KeepWithNext",
         [](const ParaFormat& p) { return Variant(p.keepWithNext.value_or(false)); },
         [](ParaFormat& p, const Variant& v) { p.keepWithNext = flag(v); }},
    };
    return properties;
}

// One member a property of `properties`, read and written through Self's read(p) and
// write(p, value): what the range and style forms of Font and ParagraphFormat share.
template <class Self, class Property>
std::vector<typename MemberTable<Self>::Member> propertyMembers(
    const std::vector<Property>& properties) {
    std::vector<typename MemberTable<Self>::Member> list;
    for (const Property& p : properties)
        list.emplace_back(
            p.name, std::vector<std::u16string_view>{},
            [&p](Self& f, const CallArgs&) { return f.read(p); },
            [&p](Self& f, const CallArgs& a) { f.write(p, a.value()); });
    return list;
}

// ---------------------------------------------------------------------------------------------
// Font

class RangeFont : public TableDispatch<RangeFont> {
public:
    explicit RangeFont(std::shared_ptr<RangeObject> range) : m_range(std::move(range)) {}
    static const MemberTable<RangeFont>& members() {
        static const MemberTable<RangeFont> table(u"Font",
                                                  propertyMembers<RangeFont>(fontProperties()));
        return table;
    }

    Variant read(const FontProperty& p) const {
        const DocumentModel& model = m_range->doc().model;
        const Story& story = *m_range->story();
        int from = m_range->start(), to = m_range->end();
        if (to <= from) to = from + 1;
        std::optional<Variant> value;
        bool sawText = false;
        for (int i = from; i < to && i < story.length(); ++i) {
            const bool text = isRangeChar(story.text()[static_cast<std::size_t>(i)]);
            if (sawText && !text) continue;
            const Variant v = p.read(effectiveCharFormat(model, story, i));
            if (text && !sawText) {
                sawText = true;
                value = v;
                continue;
            }
            if (!value) value = v;
            if (!(*value == v)) return p.mixed;
        }
        return value.value_or(p.read(effectiveCharFormat(model, story, from)));
    }
    void write(const FontProperty& p, const Variant& v) {
        checkOpen(*m_range->docState());
        CharFormat probe;
        p.write(probe, v);  // refuses a bad value before anything changes
        Story& story = *m_range->story();
        story.formatCharacters(m_range->start(), m_range->end(),
                               [&](CharFormat& f) { p.write(f, v); });
    }

private:
    std::shared_ptr<RangeObject> m_range;
};

class StyleFont : public TableDispatch<StyleFont> {
public:
    StyleFont(std::shared_ptr<DocumentState> doc, int style)
        : m_doc(std::move(doc)), m_style(style) {}
    static const MemberTable<StyleFont>& members() {
        static const MemberTable<StyleFont> table(u"Font",
                                                  propertyMembers<StyleFont>(fontProperties()));
        return table;
    }

    Variant read(const FontProperty& p) const {
        checkOpen(*m_doc);
        return p.read(m_doc->model.styles().resolvedFont(m_style));
    }
    void write(const FontProperty& p, const Variant& v) {
        checkOpen(*m_doc);
        p.write(m_doc->model.styles().at(m_style).font, v);
    }

private:
    std::shared_ptr<DocumentState> m_doc;
    int m_style;
};

// ---------------------------------------------------------------------------------------------
// ParagraphFormat

class RangeParagraphFormat : public TableDispatch<RangeParagraphFormat> {
public:
    explicit RangeParagraphFormat(std::shared_ptr<RangeObject> range) : m_range(std::move(range)) {}
    static const MemberTable<RangeParagraphFormat>& members() {
        static const MemberTable<RangeParagraphFormat> table = [] {
            using Self = RangeParagraphFormat;
            std::vector<MemberTable<Self>::Member> list = propertyMembers<Self>(paraProperties());
            list.emplace_back(
                u"Style", std::vector<std::u16string_view>{},
                [](Self& f, const CallArgs&) { return f.m_range->style(); },
                [](Self& f, const CallArgs& a) { f.m_range->setStyle(a.value()); });
            return MemberTable<Self>(u"ParagraphFormat", std::move(list));
        }();
        return table;
    }

    Variant read(const ParaProperty& p) const {
        const DocumentModel& model = m_range->doc().model;
        const Story& story = *m_range->story();
        const auto [first, last] = story.paragraphsTouched(m_range->start(), m_range->end());
        const Variant value = p.read(effectiveParaFormat(model, story, first));
        for (int i = first + 1; i <= last; ++i)
            if (!(p.read(effectiveParaFormat(model, story, i)) == value))
                return Variant(kUndefined);
        return value;
    }
    void write(const ParaProperty& p, const Variant& v) {
        checkOpen(*m_range->docState());
        ParaFormat probe;
        p.write(probe, v);
        Story& story = *m_range->story();
        const auto [first, last] = story.paragraphsTouched(m_range->start(), m_range->end());
        story.formatParagraphs(first, last, [&](ParaFormat& f) { p.write(f, v); });
    }

private:
    std::shared_ptr<RangeObject> m_range;
};

class StyleParagraphFormat : public TableDispatch<StyleParagraphFormat> {
public:
    StyleParagraphFormat(std::shared_ptr<DocumentState> doc, int style)
        : m_doc(std::move(doc)), m_style(style) {}
    static const MemberTable<StyleParagraphFormat>& members() {
        static const MemberTable<StyleParagraphFormat> table(
            u"ParagraphFormat", propertyMembers<StyleParagraphFormat>(paraProperties()));
        return table;
    }

    Variant read(const ParaProperty& p) const {
        checkOpen(*m_doc);
        return p.read(m_doc->model.styles().resolvedParagraph(m_style));
    }
    void write(const ParaProperty& p, const Variant& v) {
        checkOpen(*m_doc);
        p.write(m_doc->model.styles().at(m_style).paragraph, v);
    }

private:
    std::shared_ptr<DocumentState> m_doc;
    int m_style;
};

// ---------------------------------------------------------------------------------------------
// Paragraphs and Paragraph

// Format, Style, Alignment and OutlineLevel of the paragraphs that the range `range` of Self
// covers: what a Paragraph and Paragraphs share.
template <class Self>
std::vector<typename MemberTable<Self>::Member> paragraphMembers(
    std::shared_ptr<RangeObject> Self::*range) {
    std::vector<typename MemberTable<Self>::Member> list;
    list.emplace_back(
        u"Format", std::vector<std::u16string_view>{},
        [range](Self& p, const CallArgs&) { return Variant(makeRangeParagraphFormat(p.*range)); });
    list.emplace_back(
        u"Style", std::vector<std::u16string_view>{},
        [range](Self& p, const CallArgs&) { return (p.*range)->style(); },
        [range](Self& p, const CallArgs& a) { (p.*range)->setStyle(a.value()); });
    for (const std::u16string_view name : {u"Alignment", u"OutlineLevel"})
        list.emplace_back(
            name, std::vector<std::u16string_view>{},
            [range, name](Self& p, const CallArgs&) {
                return makeRangeParagraphFormat(p.*range).get(name);
            },
            [range, name](Self& p, const CallArgs& a) {
                makeRangeParagraphFormat(p.*range).put(name, a.value());
            });
    return list;
}

class ParagraphObject : public TableDispatch<ParagraphObject> {
public:
    explicit ParagraphObject(std::shared_ptr<RangeObject> range) : m_range(std::move(range)) {}
    static const MemberTable<ParagraphObject>& members() {
        using Self = ParagraphObject;
        static const MemberTable<Self> table = [] {
            std::vector<MemberTable<Self>::Member> list = paragraphMembers(&Self::m_range);
            list.emplace_back(
                u"Range", std::vector<std::u16string_view>{}, [](Self& p, const CallArgs&) {
                    return Variant(makeRange(p.m_range->docState(), p.m_range->story(),
                                             p.m_range->start(), p.m_range->end()));
                });
            return MemberTable<Self>(u"Paragraph", std::move(list));
        }();
        return table;
    }

private:
    std::shared_ptr<RangeObject> m_range;
};

class ParagraphsObject : public TableDispatch<ParagraphsObject> {
public:
    explicit ParagraphsObject(std::shared_ptr<RangeObject> range) : m_range(std::move(range)) {}
    static const MemberTable<ParagraphsObject>& members() {
        using Self = ParagraphsObject;
        static const MemberTable<Self> table = [] {
            std::vector<MemberTable<Self>::Member> list = collectionMembers<Self>(
                [](Self& p) {
                    const auto [first, last] = p.touched();
                    return last - first + 1;
                },
                [](Self& p, std::size_t i) {
                    return p.paragraph(p.touched().first + static_cast<int>(i));
                },
                {
                    {u"First",
                     {},
                     [](Self& p, const CallArgs&) { return p.paragraph(p.touched().first); }},
                    {u"Last",
                     {},
                     [](Self& p, const CallArgs&) { return p.paragraph(p.touched().second); }},
                });
            for (auto& member : paragraphMembers(&Self::m_range)) list.push_back(std::move(member));
            return MemberTable<Self>(u"Paragraphs", std::move(list));
        }();
        return table;
    }

private:
    std::pair<int, int> touched() const {
        checkOpen(*m_range->docState());
        return m_range->story()->paragraphsTouched(m_range->start(), m_range->end());
    }
    Variant paragraph(int index) const {
        const Story& story = *m_range->story();
        auto range =
            std::make_shared<RangeObject>(m_range->docState(), m_range->story(),
                                          story.paragraphStart(index), story.paragraphEnd(index));
        return Variant(Object(std::make_shared<ParagraphObject>(std::move(range))));
    }
    std::shared_ptr<RangeObject> m_range;
};

}  // namespace

Object makeRangeFont(std::shared_ptr<RangeObject> range) {
    return Object(std::make_shared<RangeFont>(std::move(range)));
}
Object makeStyleFont(std::shared_ptr<DocumentState> doc, int style) {
    return Object(std::make_shared<StyleFont>(std::move(doc), style));
}
Object makeRangeParagraphFormat(std::shared_ptr<RangeObject> range) {
    return Object(std::make_shared<RangeParagraphFormat>(std::move(range)));
}
Object makeStyleParagraphFormat(std::shared_ptr<DocumentState> doc, int style) {
    return Object(std::make_shared<StyleParagraphFormat>(std::move(doc), style));
}
Object makeParagraphs(std::shared_ptr<RangeObject> range) {
    return Object(std::make_shared<ParagraphsObject>(std::move(range)));
}

// ---------------------------------------------------------------------------------------------
// Range

RangeObject::RangeObject(std::shared_ptr<DocumentState> doc, std::shared_ptr<Story> story,
                         int start, int end)
    : m_doc(std::move(doc)), m_story(std::move(story)) {
    m_span.start = std::clamp(start, 0, m_story->length());
    m_span.end = std::clamp(end, m_span.start, m_story->length());
    m_story->spans().add(&m_span);
}

RangeObject::~RangeObject() {
    m_story->spans().remove(&m_span);
}

DocumentState& RangeObject::doc() const {
    checkOpen(*m_doc);
    return *m_doc;
}

void RangeObject::setSpan(int start, int end) {
    start = std::clamp(start, 0, m_story->length());
    end = std::clamp(end, start, m_story->length());
    m_story->spans().move(&m_span, start, end);
}

Object makeRange(const std::shared_ptr<DocumentState>& doc, const std::shared_ptr<Story>& story,
                 int start, int end) {
    return Object(std::make_shared<RangeObject>(doc, story, start, end));
}

RangeObject* asRange(const Variant& value) {
    if (!value.isObject()) return nullptr;
    return dynamic_cast<RangeObject*>(value.toObject().dispatch().get());
}

void RangeObject::collapse(int direction) {
    checkOpen(*m_doc);
    if (direction == kCollapseStart) {
        setSpan(start(), start());
    } else {
        // Nothing can follow the final paragraph mark: a range over it collapses before it.
        const int pos = std::min(end(), m_story->length() - 1);
        setSpan(pos, pos);
    }
}

void RangeObject::insertAfter(std::u16string_view text) {
    DocumentState& d = doc();
    if (text.empty()) return;
    const int n = static_cast<int>(text.size());
    const int oldStart = start(), oldEnd = end();
    const int pos = std::min(oldEnd, m_story->length() - 1);
    d.model.insertText(*m_story, pos, text);
    setSpan(std::min(oldStart, pos), oldEnd > pos ? oldEnd + n : pos + n);
}

void RangeObject::insertBefore(std::u16string_view text) {
    DocumentState& d = doc();
    if (text.empty()) return;
    const int n = static_cast<int>(text.size());
    const int oldEnd = end();
    const int pos = std::min(start(), m_story->length() - 1);
    d.model.insertText(*m_story, pos, text);
    setSpan(pos, std::max(oldEnd, pos) + n);
}

void RangeObject::replaceWith(Fragment content) {
    DocumentState& d = doc();
    int pos = start();
    if (end() > start()) pos = d.model.remove(*m_story, start(), end()).first;
    pos = std::min(pos, m_story->length() - 1);
    const int n = static_cast<int>(content.text.size());
    d.model.insert(*m_story, pos, std::move(content));
    setSpan(pos, pos + n);
}

void RangeObject::setText(std::u16string_view text) {
    CharFormat format;
    if (start() < m_story->length()) format = m_story->charFormat(start());
    format.charStyle.clear();
    replaceWith(Fragment::plain(std::u16string(text), format));
}

void RangeObject::insertBreak(int type) {
    DocumentState& d = doc();
    char16_t c = 0;
    if (type >= 2 && type <= 5) {
        if (!inBody()) throw AutomationError(u"a section break can only go into the main text");
        c = kSectionBreak;
    } else if (type == 6) {
        c = kLineBreak;
    } else if (type == 7) {
        c = kPageBreak;
    } else {
        throw AutomationError(u"argument Type: Int " + Variant(type).toString() +
                              u" is out of range");
    }
    replaceWith(Fragment::plain(std::u16string(1, c),
                                m_story->charFormat(std::min(start(), m_story->length() - 1))));
    if (c == kSectionBreak) {
        // The break ends the section before it; the section after it starts as `type` says.
        const int after = d.model.sectionAt(start()) + 1;
        d.model.sections()[static_cast<std::size_t>(after)].breakType = type;
    }
}

void RangeObject::setStyle(const Variant& value) {
    DocumentState& d = doc();
    const int index = resolveStyle(d.model, value);
    const Style& style = d.model.styles().at(index);
    if (style.type == StyleType::Character) {
        const std::u16string name = style.name;
        m_story->formatCharacters(start(), end(), [&](CharFormat& f) { f.charStyle = name; });
        return;
    }
    if (style.type != StyleType::Paragraph)
        throw AutomationError(u"the style " + style.name + u" cannot be applied to text");
    const auto [first, last] = m_story->paragraphsTouched(start(), end());
    m_story->formatParagraphs(first, last, [&](ParaFormat& f) {
        f.style = index;
        f.clearDirect();
    });
}

Variant RangeObject::style() const {
    checkOpen(*m_doc);
    const auto [first, last] = m_story->paragraphsTouched(start(), end());
    const int style = m_story->paragraphFormat(first).style;
    for (int i = first + 1; i <= last; ++i)
        if (m_story->paragraphFormat(i).style != style) return Variant::nothing();
    return Variant(makeStyle(m_doc, style));
}

int RangeObject::expand(int unit) {
    checkOpen(*m_doc);
    const int before = end() - start();
    if (unit == kUnitParagraph) {
        const auto [first, last] = m_story->paragraphsTouched(start(), end());
        setSpan(m_story->paragraphStart(first), m_story->paragraphEnd(last));
    } else if (unit == kUnitStory) {
        setSpan(0, m_story->length());
    } else if (unit == kUnitCharacter) {
        if (start() == end()) setSpan(start(), start() + 1);
    } else {
        throw AutomationError(u"argument Unit: Int " + Variant(unit).toString() +
                              u" is out of range");
    }
    return end() - start() - before;
}

Object RangeObject::goTo(int what, int which, int count, const std::u16string& name) const {
    DocumentState& d = doc();
    const Story& story = *m_story;
    if (what == kGoToBookmark) {
        const Bookmark* b = story.findBookmark(name);
        if (!b) throw AutomationError(u"argument Name: no bookmark named " + name);
        return makeRange(m_doc, m_story, b->start, b->end);
    }
    // The start positions of the headings or sections, in order.
    std::vector<int> targets;
    if (what == kGoToHeading) {
        std::map<int, int> levelOfStyle;
        for (int i = 0; i < story.paragraphCount(); ++i) {
            const ParaFormat direct = story.paragraphFormat(i);
            int level = 10;
            if (direct.outlineLevel) {
                level = *direct.outlineLevel;
            } else {
                const auto [it, added] = levelOfStyle.emplace(direct.style, 0);
                if (added) it->second = d.model.styles().outlineLevel(direct.style);
                level = it->second;
            }
            if (level < 10) targets.push_back(story.paragraphStart(i));
        }
    } else if (what == kGoToSection) {
        if (!inBody()) throw AutomationError(u"sections are only in the main text");
        targets.push_back(0);
        for (int pos : story.sectionBreaks()) targets.push_back(pos + 1);
    } else {
        throw AutomationError(u"argument What: Int " + Variant(what).toString() +
                              u" is out of range");
    }
    const int here = start();
    int target = here;
    if (!targets.empty()) {
        if (which == kGoToFirst) {
            target = targets[static_cast<std::size_t>(
                std::clamp(count, 1, static_cast<int>(targets.size())) - 1)];
        } else if (which == kGoToLast) {
            target = targets.back();
        } else if (which == kGoToNext) {
            const auto it = std::upper_bound(targets.begin(), targets.end(), here);
            const auto steps =
                std::min<std::ptrdiff_t>(std::max(count, 1) - 1, targets.end() - it - 1);
            if (it != targets.end()) target = *(it + std::max<std::ptrdiff_t>(steps, 0));
        } else if (which == kGoToPrevious) {
            const auto it = std::lower_bound(targets.begin(), targets.end(), here);
            const auto back = std::min<std::ptrdiff_t>(std::max(count, 1), it - targets.begin());
            if (back > 0) target = *(it - back);
        } else {
            throw AutomationError(u"argument Which: Int " + Variant(which).toString() +
                                  u" is out of range");
        }
    }
    return makeRange(m_doc, m_story, target, target);
}

void RangeObject::copy() const {
    DocumentState& d = doc();
    setClipboard(d.model.copy(*m_story, start(), end()));
}

void RangeObject::paste() {
    checkOpen(*m_doc);
    std::optional<Fragment> content = clipboardContent();
    if (!content) throw AutomationError(u"the clipboard is empty");
    replaceWith(std::move(*content));
}

const MemberTable<RangeObject>& RangeObject::members() {
    using Self = RangeObject;
    static const MemberTable<Self> table(
        u"Range",
        {
            {u"Start",
             {},
             [](Self& r, const CallArgs&) {
                 checkOpen(*r.docState());
                 return Variant(r.start());
             },
             [](Self& r, const CallArgs& a) {
                 checkOpen(*r.docState());
                 const int s = a.value().toInt();
                 r.setSpan(s, std::max(s, r.end()));
             }},
            {u"End",
             {},
             [](Self& r, const CallArgs&) {
                 checkOpen(*r.docState());
                 return Variant(r.end());
             },
             [](Self& r, const CallArgs& a) {
                 checkOpen(*r.docState());
                 const int e = a.value().toInt();
                 r.setSpan(std::min(r.start(), e), e);
             }},
            {u"StoryLength",
             {},
             [](Self& r, const CallArgs&) {
                 checkOpen(*r.docState());
                 return Variant(r.story()->length());
             }},
            {u"Text",
             {},
             [](Self& r, const CallArgs&) {
                 checkOpen(*r.docState());
                 return Variant(r.story()->text(r.start(), r.end()));
             },
             [](Self& r, const CallArgs& a) { r.setText(a.value().toString()); }},
            {u"Collapse",
             {u"Direction"},
             [](Self& r, const CallArgs& a) {
                 const int direction = a.integer(0, kCollapseStart);
                 if (direction != kCollapseStart && direction != kCollapseEnd) a.outOfRange(0);
                 r.collapse(direction);
                 return Variant();
             }},
            {u"SetRange",
             {u"Start", u"End"},
             [](Self& r, const CallArgs& a) {
                 checkOpen(*r.docState());
                 const int s = a.integer(0), e = a.integer(1);
                 r.setSpan(std::min(s, e), std::max(s, e));
                 return Variant();
             }},
            {u"InsertAfter",
             {u"Text"},
             [](Self& r, const CallArgs& a) {
                 r.insertAfter(a.text(0));
                 return Variant();
             }},
            {u"InsertBefore",
             {u"Text"},
             [](Self& r, const CallArgs& a) {
                 r.insertBefore(a.text(0));
                 return Variant();
             }},
            {u"InsertParagraphAfter",
             {},
             [](Self& r, const CallArgs&) {
                 r.insertAfter(std::u16string(1, kParagraphMark));
                 return Variant();
             }},
            {u"InsertParagraphBefore",
             {},
             [](Self& r, const CallArgs&) {
                 r.insertBefore(std::u16string(1, kParagraphMark));
                 return Variant();
             }},
            {u"InsertBreak",
             {u"Type"},
             [](Self& r, const CallArgs& a) {
                 r.insertBreak(a.integer(0, 7));
                 return Variant();
             }},
            {u"Delete",
             {u"Unit", u"Count"},
             [](Self& r, const CallArgs&) {
                 DocumentState& d = r.doc();
                 if (r.end() <= r.start()) return Variant(0);
                 const auto [from, to] = d.model.remove(*r.story(), r.start(), r.end());
                 r.setSpan(from, from);
                 return Variant(to - from);
             }},
            {u"Style",
             {},
             [](Self& r, const CallArgs&) { return r.style(); },
             [](Self& r, const CallArgs& a) { r.setStyle(a.value()); }},
            {u"Font",
             {},
             [](Self& r, const CallArgs&) {
                 checkOpen(*r.docState());
                 return Variant(makeRangeFont(r.shared_from_this()));
             }},
            {u"ParagraphFormat",
             {},
             [](Self& r, const CallArgs&) {
                 checkOpen(*r.docState());
                 return Variant(makeRangeParagraphFormat(r.shared_from_this()));
             }},
            {u"Paragraphs",
             {},
             [](Self& r, const CallArgs&) {
                 checkOpen(*r.docState());
                 return Variant(makeParagraphs(r.shared_from_this()));
             }},
            {u"Duplicate",
             {},
             [](Self& r, const CallArgs&) {
                 checkOpen(*r.docState());
                 return Variant(makeRange(r.docState(), r.story(), r.start(), r.end()));
             }},
            {u"Expand",
             {u"Unit"},
             [](Self& r, const CallArgs& a) {
                 return Variant(r.expand(a.integer(0, kUnitCharacter)));
             }},
            {u"GoTo",
             {u"What", u"Which", u"Count", u"Name"},
             [](Self& r, const CallArgs& a) {
                 return Variant(r.goTo(a.integer(0, kGoToHeading), a.integer(1, kGoToNext),
                                       a.integer(2, 1), a.text(3, u"")));
             }},
            {u"Copy",
             {},
             [](Self& r, const CallArgs&) {
                 r.copy();
                 return Variant();
             }},
            {u"Paste",
             {},
             [](Self& r, const CallArgs&) {
                 r.paste();
                 return Variant();
             }},
        });
    return table;
}

}  // namespace quillet::engine
