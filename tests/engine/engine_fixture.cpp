#include "engine_fixture.h"

#include "engine/formats.h"

#include <sstream>

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
                    << (c.shading ? " shd=" + std::to_string(*c.shading) : "") << "]";
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
    out << "updateFields=" << model.updateFieldsOnOpen << "\n";
    return out.str();
}

}  // namespace quillet::testing
