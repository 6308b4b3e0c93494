#include "engine_fixture.h"

#include "engine/formats.h"

#include <array>
#include <map>
#include <optional>
#include <sstream>
#include <utility>

namespace quillet::testing {

namespace {

using namespace engine;

std::string shown(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        switch (c) {
            case kParagraphMark:
                out += "\\r";
                break;
            case kSectionBreak:
                out += "\\f";
                break;
            case kCellMark:
                out += "\\a";
                break;
            case kTab:
                out += "\\t";
                break;
            case kLineBreak:
                out += "\\v";
                break;
            case kPageBreak:
                out += "{page}";
                break;
            case kPictureChar:
                out += "{pic}";
                break;
            case kFieldBegin:
                out += "{fb}";
                break;
            case kFieldSeparator:
                out += "{fs}";
                break;
            case kFieldEnd:
                out += "{fe}";
                break;
            default:
                out += toUtf8(std::u16string(1, c));
        }
    }
    return out;
}

std::string paraFormat(const ParaFormat& f) {
    std::ostringstream out;
    if (f.alignment) out << " align=" << *f.alignment;
    if (f.outlineLevel) out << " outline=" << *f.outlineLevel;
    if (f.leftIndent) out << " left=" << *f.leftIndent;
    if (f.rightIndent) out << " right=" << *f.rightIndent;
    if (f.firstLineIndent) out << " first=" << *f.firstLineIndent;
    if (f.spaceBefore) out << " before=" << *f.spaceBefore;
    if (f.spaceAfter) out << " after=" << *f.spaceAfter;
    if (f.shading) out << " pshading=" << *f.shading;
    if (f.pageBreakBefore) out << " pagebreak=" << *f.pageBreakBefore;
    if (f.keepWithNext) out << " keepnext=" << *f.keepWithNext;
    if (f.lineSpacing) out << " line=" << *f.lineSpacing << "/" << f.lineSpacingRule.value_or(-1);
    if (f.bottomBorder) out << " rule=" << *f.bottomBorder;
    if (f.rightTab) out << " tab=" << *f.rightTab;
    if (f.list) out << " list=" << f.list << "/" << f.listLevel;
    for (const CellRef& c : f.cells) out << " cell=" << c.table << "/" << c.row << "/" << c.column;
    return out.str();
}

void dumpStory(std::ostringstream& out, const DocumentModel& model, const Story& story) {
    out << dumpParagraphs(model, story);
    for (int i = 0; i < story.length();) {
        int j = i + 1;
        while (j < story.length() && story.charFormatId(j) == story.charFormatId(i)) ++j;
        const std::string f = dumpCharFormat(story.charFormat(i));
        if (!f.empty()) out << "  chars " << i << "-" << j << f << "\n";
        i = j;
    }
    for (const auto& b : story.bookmarks())
        out << "  bookmark " << toUtf8(b->name) << " " << b->start << "-" << b->end << "\n";
    for (const auto& h : story.hyperlinks())
        out << "  link " << h->start << "-" << h->end << " " << toUtf8(h->address) << "#"
            << toUtf8(h->subAddress) << "\n";
    for (const auto& f : story.fields())
        out << "  field " << f->start << "-" << f->end << " [" << toUtf8(story.fieldCode(*f))
            << "]\n";
    for (const auto& p : story.pictures())
        out << "  picture " << p->start << " " << p->picture.width << "x" << p->picture.height
            << " natural " << p->picture.naturalWidth << "x" << p->picture.naturalHeight
            << (p->picture.linked ? " linked" : "") << " bytes=" << p->picture.bytes.size()
            << " lock=" << p->picture.lockAspectRatio << "\n";
    for (const auto& s : story.shapes())
        out << "  shape " << s->type << " in paragraph " << story.paragraphAt(s->start) << " "
            << s->left << "," << s->top << " " << s->picture.width << "x" << s->picture.height
            << "\n";
    for (std::size_t t = 0; t < story.tables().size(); ++t) {
        const TableInfo& table = story.tables()[t];
        out << "  table " << t << " rows=" << table.rows.size() << " grid=" << table.grid.size()
            << " border=" << table.borderWidth << "\n";
        for (const RowInfo& row : table.rows) {
            out << "    row" << (row.header ? " header" : "");
            for (const CellInfo& c : row.cells)
                out << " [w=" << c.width << " span=" << c.gridSpan << " vm=" << c.verticalMerge
                    << (c.shading ? " shd=" + std::to_string(*c.shading) : "")
                    << (c.borderWidth ? " border=" + std::to_string(*c.borderWidth) : "") << "]";
            out << "\n";
        }
    }
}

}  // namespace

std::string dumpCharFormat(const CharFormat& f) {
    std::ostringstream out;
    if (f.font) out << " font=" << toUtf8(*f.font);
    if (f.eastAsiaFont) out << " ea=" << toUtf8(*f.eastAsiaFont);
    if (f.size) out << " size=" << *f.size;
    if (f.color) out << " color=" << *f.color;
    if (f.bold) out << " bold=" << *f.bold;
    if (f.italic) out << " italic=" << *f.italic;
    if (f.underline) out << " underline=" << *f.underline;
    if (f.strike) out << " strike=" << *f.strike;
    if (f.verticalAlign) out << " valign=" << *f.verticalAlign;
    if (f.shading) out << " shading=" << *f.shading;
    if (f.hidden) out << " hidden=" << *f.hidden;
    if (!f.charStyle.empty()) out << " cstyle=" << toUtf8(f.charStyle);
    return out.str();
}

std::string dumpParagraphs(const DocumentModel& model, const Story& story) {
    std::ostringstream out;
    for (int i = 0; i < story.paragraphCount(); ++i) {
        const ParaFormat f = story.paragraphFormat(i);
        out << "[" << toUtf8(model.styles().at(f.style).name) << paraFormat(f) << "] "
            << shown(story.text(story.paragraphStart(i), story.paragraphEnd(i))) << "\n";
    }
    return out.str();
}

std::string dumpModel(const DocumentModel& model) {
    std::ostringstream out;
    dumpStory(out, model, model.body());
    for (std::size_t i = 0; i < model.sections().size(); ++i) {
        const Section& s = model.sections()[i];
        out << "section " << i << " paper=" << s.page.paperSize << " " << s.page.pageWidth << "x"
            << s.page.pageHeight << " margins=" << s.page.topMargin << "," << s.page.bottomMargin
            << "," << s.page.leftMargin << "," << s.page.rightMargin << " break=" << s.breakType
            << " restart=" << s.restartNumbering << " start=" << s.startingNumber
            << " titlePage=" << s.titlePage << " lines=" << s.page.lineNumbering << "\n";
        for (bool footer : {false, true})
            for (std::size_t k = 0; k < 3; ++k) {
                const HeaderFooter& h = (footer ? s.footers : s.headers)[k];
                if (h.linkToPrevious) continue;
                out << (footer ? " footer " : " header ") << k + 1 << (h.story ? "" : " (none)")
                    << "\n";
                if (h.story && h.story->length() > 1) dumpStory(out, model, *h.story);
            }
    }
    const StyleSheet& sheet = model.styles();
    out << "defaults" << dumpCharFormat(sheet.defaults) << "\n";
    for (int i = 0; i < sheet.count(); ++i) {
        const Style& s = sheet.at(i);
        out << "style " << toUtf8(s.name) << " type=" << static_cast<int>(s.type)
            << " base=" << (s.basedOn >= 0 ? toUtf8(sheet.at(s.basedOn).name) : "-")
            << dumpCharFormat(s.font) << paraFormat(s.paragraph) << "\n";
    }
    const ListTable& lists = model.lists();
    for (int t = 0; t < lists.templateCount(); ++t) {
        out << "list template " << t << ":";
        for (const ListLevel& l : lists.listTemplate(t).levels)
            out << " [" << static_cast<int>(l.style) << " " << toUtf8(l.text) << " " << l.start
                << " " << l.leftIndent << "/" << l.hanging << "]";
        out << "\n";
    }
    for (int n = 1; n <= lists.count(); ++n) {
        out << "list " << n << " template=" << lists.list(n).listTemplate;
        for (const ListStart& start : lists.list(n).starts)
            out << " level" << start.level << "=" << start.start;
        out << "\n";
    }
    out << "updateFields=" << model.updateFieldsOnOpen << "\n";
    return out.str();
}

namespace {

std::u16string letters(int n) {
    std::u16string out;
    while (n > 0) {
        --n;
        out.insert(out.begin(), static_cast<char16_t>(u'a' + n % 26));
        n /= 26;
    }
    return out;
}

std::u16string roman(int n) {
    static constexpr std::pair<int, const char16_t*> kRoman[] = {
        {1000, u"m"}, {900, u"cm"}, {500, u"d"}, {400, u"cd"}, {100, u"c"}, {90, u"xc"}, {50, u"l"},
        {40, u"xl"},  {10, u"x"},   {9, u"ix"},  {5, u"v"},    {4, u"iv"},  {1, u"i"}};
    std::u16string out;
    for (const auto& [value, text] : kRoman)
        while (n >= value) out += text, n -= value;
    return out;
}

std::u16string upper(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return text;
}

std::u16string numberText(NumberStyle style, int n) {
    switch (style) {
        case NumberStyle::LowerLetter:
            return letters(n);
        case NumberStyle::UpperLetter:
            return upper(letters(n));
        case NumberStyle::LowerRoman:
            return roman(n);
        case NumberStyle::UpperRoman:
            return upper(roman(n));
        case NumberStyle::Decimal:
            return fromUtf8(std::to_string(n));
        default:
            return {};
    }
}

}  // namespace

std::string numberedParagraphs(const DocumentModel& model, const Story& story) {
    const ListTable& lists = model.lists();
    std::map<int, std::array<std::optional<int>, kListLevels>> counters;
    std::string out;
    for (int i = 0; i < story.paragraphCount(); ++i) {
        const ParaFormat f = story.paragraphFormat(i);
        if (i > 0) out += "|";
        if (f.list > 0) {
            const List& list = lists.list(f.list);
            const auto& levels = lists.listTemplate(list.listTemplate).levels;
            auto& counter = counters[f.list];
            const auto level = static_cast<std::size_t>(f.listLevel);
            if (counter[level]) {
                ++*counter[level];
            } else {
                counter[level] = levels[level].start;
                for (const ListStart& s : list.starts)
                    if (s.level == f.listLevel) counter[level] = s.start;
            }
            for (std::size_t deeper = level + 1; deeper < counter.size(); ++deeper)
                counter[deeper].reset();
            std::u16string marker;
            const std::u16string& text = levels[level].text;
            for (std::size_t c = 0; c < text.size(); ++c) {
                if (text[c] == u'%' && c + 1 < text.size() && text[c + 1] >= u'1' &&
                    text[c + 1] <= u'9') {
                    const auto l = static_cast<std::size_t>(text[c + 1] - u'1');
                    marker += numberText(levels[l].style, counter[l].value_or(levels[l].start));
                    ++c;
                } else {
                    marker += text[c];
                }
            }
            out += toUtf8(marker) + "\t";
        }
        std::u16string text = story.text(story.paragraphStart(i), story.paragraphEnd(i) - 1);
        out += toUtf8(text);
    }
    return out;
}

}  // namespace quillet::testing
