// The property lists of the .docx writer: run properties (w:rPr), paragraph properties (w:pPr),
// section properties (w:sectPr) and the numbering of lists, for paragraphs and styles alike.
// Internal to the writer.
#pragma once

#include "engine/formats.h"
#include "engine/lists.h"
#include "engine/section.h"
#include "engine/xml_stream.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillet::engine::docx {

// The w:rPr of `f` with `charStyleId` as its w:rStyle (none when empty); nothing when it sets
// nothing. f.charStyle is not looked at: the caller turns it into charStyleId.
void writeRunProperties(XmlWriter& xml, const CharFormat& f, std::string_view charStyleId);

// Spacing, indents, alignment and outline level of a paragraph or a paragraph style.
void writeSpacingAndPlacement(XmlWriter& xml, const ParaFormat& f);

// What a paragraph's w:pPr holds before the run properties of its mark: its style (`styleId`,
// none when empty), keep with next, page break before, its list and level, shading, spacing and
// placement.
void writeParagraphProperties(XmlWriter& xml, const ParaFormat& f, std::string_view styleId);

// The w:numbering of a numbering part: a w:abstractNum per template (its number as its id) and a
// w:num per list (its number as its id), whose start overrides make each count on its own.
void writeNumbering(XmlWriter& xml, const ListTable& lists);

// A header or footer of a section: which one (0 default, 1 first page, 2 even pages) and the
// relationship of its part.
struct HeaderReference {
    bool footer = false;
    int index = 0;
    std::string relationship;
};

// The w:sectPr of `section`, with its headers and footers.
void writeSectionProperties(XmlWriter& xml, const Section& section,
                            const std::vector<HeaderReference>& headers);

}  // namespace quillet::engine::docx
