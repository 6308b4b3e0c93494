#include "engine/docx_properties.h"

#include "engine/docx_xml.h"
#include "platform/utf.h"

#include <algorithm>
#include <cmath>

namespace quillet::engine::docx {

namespace {

void shading(XmlWriter& xml, int fill) {
    xml.start("w:shd");
    attr(xml, "w:val", "clear");
    attr(xml, "w:color", "auto");
    attr(xml, "w:fill", colorText(fill));
    xml.end();
}

// <name/> for true, <name w:val="0"/> for false, nothing when not set.
void toggle(XmlWriter& xml, std::string_view name, const std::optional<bool>& value) {
    if (!value) return;
    xml.start(name);
    if (!*value) attr(xml, "w:val", "0");
    xml.end();
}

}  // namespace

void writeRunProperties(XmlWriter& xml, const CharFormat& f, std::string_view charStyleId) {
    xml.startOptional("w:rPr");
    if (!charStyleId.empty()) valueElement(xml, "w:rStyle", charStyleId);
    if (f.font || f.eastAsiaFont) {
        xml.start("w:rFonts");
        if (f.font) {
            const std::string name = toUtf8(*f.font);
            attr(xml, "w:ascii", name);
            attr(xml, "w:hAnsi", name);
            attr(xml, "w:cs", name);
        }
        if (f.eastAsiaFont) attr(xml, "w:eastAsia", toUtf8(*f.eastAsiaFont));
        xml.end();
    }
    toggle(xml, "w:b", f.bold);
    toggle(xml, "w:i", f.italic);
    toggle(xml, "w:strike", f.strike);
    toggle(xml, "w:vanish", f.hidden);
    if (f.color) valueElement(xml, "w:color", colorText(*f.color));
    if (f.size) valueElement(xml, "w:sz", num(static_cast<long long>(*f.size * 2 + 0.5)));
    if (f.underline)
        valueElement(xml, "w:u",
                     *f.underline == 0   ? "none"
                     : *f.underline == 3 ? "double"
                                         : "single");
    if (f.shading) shading(xml, *f.shading);
    if (f.verticalAlign)
        valueElement(xml, "w:vertAlign",
                     *f.verticalAlign == 1   ? "superscript"
                     : *f.verticalAlign == 2 ? "subscript"
                                             : "baseline");
    if (f.language || f.eastAsiaLanguage) {
        xml.start("w:lang");
        if (f.language) attr(xml, "w:val", toUtf8(*f.language));
        if (f.eastAsiaLanguage) attr(xml, "w:eastAsia", toUtf8(*f.eastAsiaLanguage));
        xml.end();
    }
    xml.end();
}

void writeSpacingAndPlacement(XmlWriter& xml, const ParaFormat& f) {
    const bool lines =
        f.lineSpacing && f.lineSpacingRule &&
        (*f.lineSpacingRule == 3 || *f.lineSpacingRule == 4 || *f.lineSpacingRule == 5);
    if (f.spaceBefore || f.spaceAfter || lines) {
        xml.start("w:spacing");
        if (f.spaceBefore) attr(xml, "w:before", num(twips(*f.spaceBefore)));
        if (f.spaceAfter) attr(xml, "w:after", num(twips(*f.spaceAfter)));
        if (lines) {
            // A multiple counts in 240ths of a line, the others in twips.
            const bool multiple = *f.lineSpacingRule == 5;
            attr(xml, "w:line",
                 num(multiple ? std::llround(*f.lineSpacing * 20) : twips(*f.lineSpacing)));
            attr(xml, "w:lineRule",
                 multiple                  ? "auto"
                 : *f.lineSpacingRule == 3 ? "atLeast"
                                           : "exact");
        }
        xml.end();
    }
    if (f.leftIndent || f.rightIndent || f.firstLineIndent) {
        xml.start("w:ind");
        if (f.leftIndent) attr(xml, "w:left", num(twips(*f.leftIndent)));
        if (f.rightIndent) attr(xml, "w:right", num(twips(*f.rightIndent)));
        if (f.firstLineIndent) {
            if (*f.firstLineIndent < 0)
                attr(xml, "w:hanging", num(twips(-*f.firstLineIndent)));
            else
                attr(xml, "w:firstLine", num(twips(*f.firstLineIndent)));
        }
        xml.end();
    }
    if (f.alignment) valueElement(xml, "w:jc", alignmentText(*f.alignment));
    if (f.outlineLevel)
        valueElement(xml, "w:outlineLvl", num(static_cast<long long>(*f.outlineLevel - 1)));
}

void writeParagraphProperties(XmlWriter& xml, const ParaFormat& f, std::string_view styleId) {
    if (!styleId.empty()) valueElement(xml, "w:pStyle", styleId);
    toggle(xml, "w:keepNext", f.keepWithNext);
    toggle(xml, "w:pageBreakBefore", f.pageBreakBefore);
    if (f.list > 0) {
        xml.start("w:numPr");
        valueElement(xml, "w:ilvl", num(static_cast<long long>(f.listLevel)));
        valueElement(xml, "w:numId", num(static_cast<long long>(f.list)));
        xml.end();
    }
    if (f.bottomBorder && *f.bottomBorder > 0) {
        xml.start("w:pBdr");
        xml.start("w:bottom");
        attr(xml, "w:val", "single");
        attr(xml, "w:sz", num(std::clamp<long long>(std::llround(*f.bottomBorder * 8), 2, 96)));
        attr(xml, "w:space", "1");
        attr(xml, "w:color", "auto");
        xml.end();
        xml.end();
    }
    if (f.shading) shading(xml, *f.shading);
    if (f.rightTab && *f.rightTab > 0) {
        xml.start("w:tabs");
        xml.start("w:tab");
        attr(xml, "w:val", "right");
        attr(xml, "w:leader", "dot");
        attr(xml, "w:pos", num(twips(*f.rightTab)));
        xml.end();
        xml.end();
    }
    writeSpacingAndPlacement(xml, f);
}

void writeNumbering(XmlWriter& xml, const ListTable& lists) {
    xml.start("w:numbering");
    attr(xml, "xmlns:w", kNsW);
    for (int t = 0; t < lists.templateCount(); ++t) {
        xml.start("w:abstractNum");
        attr(xml, "w:abstractNumId", num(static_cast<long long>(t)));
        valueElement(xml, "w:multiLevelType", "multilevel");
        const auto& levels = lists.listTemplate(t).levels;
        for (std::size_t l = 0; l < levels.size(); ++l) {
            const ListLevel& level = levels[l];
            xml.start("w:lvl");
            attr(xml, "w:ilvl", num(static_cast<long long>(l)));
            valueElement(xml, "w:start", num(static_cast<long long>(level.start)));
            valueElement(xml, "w:numFmt", numberStyleText(level.style));
            valueElement(xml, "w:lvlText", toUtf8(level.text));
            valueElement(xml, "w:lvlJc", "left");
            xml.start("w:pPr");
            xml.start("w:ind");
            attr(xml, "w:left", num(twips(level.leftIndent)));
            attr(xml, "w:hanging", num(twips(level.hanging)));
            xml.end();  // w:ind
            xml.end();  // w:pPr
            xml.end();  // w:lvl
        }
        xml.end();  // w:abstractNum
    }
    for (int n = 1; n <= lists.count(); ++n) {
        const List& list = lists.list(n);
        xml.start("w:num");
        attr(xml, "w:numId", num(static_cast<long long>(n)));
        valueElement(xml, "w:abstractNumId", num(static_cast<long long>(list.listTemplate)));
        for (const ListStart& s : list.starts) {
            xml.start("w:lvlOverride");
            attr(xml, "w:ilvl", num(static_cast<long long>(s.level)));
            valueElement(xml, "w:startOverride", num(static_cast<long long>(s.start)));
            xml.end();
        }
        xml.end();  // w:num
    }
    xml.end();
}

void writeSectionProperties(XmlWriter& xml, const Section& s,
                            const std::vector<HeaderReference>& headers) {
    static const char* kTypes[] = {"default", "first", "even"};
    xml.start("w:sectPr");
    for (const HeaderReference& h : headers) {
        xml.start(h.footer ? "w:footerReference" : "w:headerReference");
        attr(xml, "w:type", kTypes[h.index]);
        attr(xml, "r:id", h.relationship);
        xml.end();
    }
    static const char* kBreaks[] = {"nextPage", "continuous", "evenPage", "oddPage"};
    if (s.breakType >= 3 && s.breakType <= 5) valueElement(xml, "w:type", kBreaks[s.breakType - 2]);
    xml.start("w:pgSz");
    attr(xml, "w:w", num(twips(s.page.pageWidth)));
    attr(xml, "w:h", num(twips(s.page.pageHeight)));
    if (s.page.pageWidth > s.page.pageHeight) attr(xml, "w:orient", "landscape");
    xml.end();
    xml.start("w:pgMar");
    attr(xml, "w:top", num(twips(s.page.topMargin)));
    attr(xml, "w:right", num(twips(s.page.rightMargin)));
    attr(xml, "w:bottom", num(twips(s.page.bottomMargin)));
    attr(xml, "w:left", num(twips(s.page.leftMargin)));
    attr(xml, "w:header", num(twips(s.page.headerDistance)));
    attr(xml, "w:footer", num(twips(s.page.footerDistance)));
    attr(xml, "w:gutter", "0");
    xml.end();
    if (s.page.lineNumbering) {
        xml.start("w:lnNumType");
        attr(xml, "w:countBy", "1");
        xml.end();
    }
    if (s.restartNumbering) {
        xml.start("w:pgNumType");
        attr(xml, "w:start", num(static_cast<long long>(s.startingNumber)));
        xml.end();
    }
    if (s.titlePage) xml.empty("w:titlePg");
    xml.end();
}

}  // namespace quillet::engine::docx
