#include "engine/docx_story.h"

#include "engine/docx_drawing.h"
#include "engine/docx_package.h"
#include "engine/docx_properties.h"
#include "engine/docx_xml.h"
#include "platform/utf.h"

#include <algorithm>
#include <cmath>

namespace quillet::engine::docx {

StoryWriter::StoryWriter(PackageWriter& package, Part& part, XmlWriter& xml, const Story& story,
                         bool body)
    : m_package(package), m_part(part), m_xml(xml), m_story(story), m_body(body) {
    for (const auto& b : story.bookmarks()) {
        m_bookmarkStarts.emplace(b->start, b.get());
        m_bookmarkEnds.emplace(b->end, b.get());
    }
    for (const auto& s : story.shapes()) m_shapes.emplace(s->start, s.get());
    for (const auto& p : story.pictures()) m_pictures.emplace(p->start, p.get());
    int maxEnd = -1;
    for (const auto& h : story.hyperlinks())
        m_linkMaxEnd.push_back(maxEnd = std::max(maxEnd, h->end));
}

void StoryWriter::writeBlocks(int first, int last, std::size_t depth) {
    for (int i = first; i <= last;) {
        const std::span<const CellRef> cells = m_story.paragraphCells(i);
        if (cells.size() > depth) {
            const int table = cells[depth].table;
            int j = i;
            while (j + 1 <= last && m_story.paragraphCells(j + 1).size() > depth &&
                   m_story.paragraphCells(j + 1)[depth].table == table)
                ++j;
            writeTable(i, j, depth);
            i = j + 1;
        } else {
            writeParagraph(i);
            ++i;
        }
    }
}

void StoryWriter::writeTable(int first, int last, std::size_t depth) {
    const int id = m_story.paragraphCells(first)[depth].table;
    const TableInfo& table = m_story.tables()[static_cast<std::size_t>(id)];
    // Paragraphs of each cell, by (row, column).
    std::map<std::pair<int, int>, std::pair<int, int>> cells;
    for (int i = first; i <= last; ++i) {
        const CellRef& c = m_story.paragraphCells(i)[depth];
        auto [it, added] = cells.emplace(std::make_pair(c.row, c.column), std::make_pair(i, i));
        if (!added) it->second.second = i;
    }
    m_xml.start("w:tbl");
    m_xml.start("w:tblPr");
    m_xml.start("w:tblW");
    attr(m_xml, "w:w", "0");
    attr(m_xml, "w:type", "auto");
    m_xml.end();
    if (table.alignment) valueElement(m_xml, "w:jc", alignmentText(*table.alignment));
    if (table.borderWidth > 0) {
        const std::string width = num(static_cast<long long>(table.borderWidth * 8 + 0.5));
        m_xml.start("w:tblBorders");
        for (const char* side :
             {"w:top", "w:left", "w:bottom", "w:right", "w:insideH", "w:insideV"}) {
            m_xml.start(side);
            attr(m_xml, "w:val", "single");
            attr(m_xml, "w:sz", width);
            attr(m_xml, "w:space", "0");
            attr(m_xml, "w:color", "auto");
            m_xml.end();
        }
        m_xml.end();
    }
    m_xml.end();  // w:tblPr
    m_xml.start("w:tblGrid");
    for (double w : table.grid) {
        m_xml.start("w:gridCol");
        attr(m_xml, "w:w", num(twips(w)));
        m_xml.end();
    }
    m_xml.end();
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const RowInfo& row = table.rows[r];
        m_xml.start("w:tr");
        if (row.header) {
            m_xml.start("w:trPr");
            m_xml.empty("w:tblHeader");
            m_xml.end();
        }
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            const CellInfo& cell = row.cells[c];
            m_xml.start("w:tc");
            m_xml.start("w:tcPr");
            m_xml.start("w:tcW");
            attr(m_xml, "w:w", num(twips(cell.width)));
            attr(m_xml, "w:type", cell.width > 0 ? "dxa" : "auto");
            m_xml.end();
            if (cell.gridSpan > 1)
                valueElement(m_xml, "w:gridSpan", num(static_cast<long long>(cell.gridSpan)));
            if (cell.verticalMerge == 1) valueElement(m_xml, "w:vMerge", "restart");
            if (cell.verticalMerge == 2) m_xml.empty("w:vMerge");
            if (cell.borderWidth) {
                m_xml.start("w:tcBorders");
                for (const char* side : {"w:top", "w:left", "w:bottom", "w:right"}) {
                    m_xml.start(side);
                    if (*cell.borderWidth > 0) {
                        attr(m_xml, "w:val", "single");
                        attr(
                            m_xml, "w:sz",
                            num(std::clamp<long long>(std::llround(*cell.borderWidth * 8), 2, 96)));
                        attr(m_xml, "w:space", "0");
                        attr(m_xml, "w:color", "auto");
                    } else {
                        attr(m_xml, "w:val", "nil");
                    }
                    m_xml.end();
                }
                m_xml.end();
            }
            if (cell.shading) {
                m_xml.start("w:shd");
                attr(m_xml, "w:val", "clear");
                attr(m_xml, "w:color", "auto");
                attr(m_xml, "w:fill", colorText(*cell.shading));
                m_xml.end();
            }
            m_xml.end();  // w:tcPr
            const auto found = cells.find({static_cast<int>(r), static_cast<int>(c)});
            if (found == cells.end())
                m_xml.empty("w:p");  // every cell holds a paragraph
            else
                writeBlocks(found->second.first, found->second.second, depth + 1);
            m_xml.end();  // w:tc
        }
        m_xml.end();  // w:tr
    }
    m_xml.end();  // w:tbl
}

void StoryWriter::openRun(int pos) {
    m_xml.start("w:r");
    const CharFormat& f = m_story.charFormat(pos);
    writeRunProperties(m_xml, f,
                       f.charStyle.empty() ? std::string() : m_package.charStyleId(f.charStyle));
}

void StoryWriter::flush() {
    if (m_pending.empty()) return;
    openRun(m_pendingPos);
    m_xml.start(m_pendingCode ? "w:instrText" : "w:t");
    attr(m_xml, "xml:space", "preserve");
    text(m_xml, toUtf8(m_pending));
    m_xml.end();
    m_xml.end();
    m_pending.clear();
}

void StoryWriter::emitSpecial(char16_t c, int pos) {
    flush();
    auto fieldChar = [&](const char* type) {
        m_xml.start("w:fldChar");
        attr(m_xml, "w:fldCharType", type);
        m_xml.end();
    };
    openRun(pos);
    switch (c) {
        case kFieldBegin:
            fieldChar("begin");
            m_fieldInCode.push_back(true);
            break;
        case kFieldSeparator:
            fieldChar("separate");
            if (!m_fieldInCode.empty()) m_fieldInCode.back() = false;
            break;
        case kFieldEnd:
            fieldChar("end");
            if (!m_fieldInCode.empty()) m_fieldInCode.pop_back();
            break;
        case kTab:
            m_xml.empty("w:tab");
            break;
        case kLineBreak:
            m_xml.empty("w:br");
            break;
        case kPageBreak:
            m_xml.start("w:br");
            attr(m_xml, "w:type", "page");
            m_xml.end();
            break;
    }
    m_xml.end();
}

void StoryWriter::emitPicture(const InlinePicture& item, int pos) {
    flush();
    const PictureSource source = m_package.pictureSource(m_part, item.picture);
    if (source.empty()) {
        // A picture that is neither stored nor linked shows its alternative text.
        if (!item.picture.altText.empty()) {
            m_pending = item.picture.altText;
            m_pendingCode = false;
            m_pendingPos = pos;
            flush();
        }
        return;
    }
    const int id = m_package.nextDrawingId();
    openRun(pos);
    writeInlinePicture(m_xml, item.picture, id, source);
    m_xml.end();
}

void StoryWriter::emitShape(const Shape& shape) {
    const int id = m_package.nextDrawingId();
    if (shape.type == kShapeLine) {
        m_xml.start("w:r");
        writeLine(m_xml, shape, id);
        m_xml.end();
        return;
    }
    const PictureSource source = m_package.pictureSource(m_part, shape.picture);
    if (source.empty()) return;
    m_xml.start("w:r");
    writeAnchoredPicture(m_xml, shape, id, source);
    m_xml.end();
}

const Hyperlink* StoryWriter::linkAt(int pos, bool startingOnly) const {
    // The first link (by start) that starts at, or covers, `pos`. Links are sorted by start; a
    // binary search and a walk back while an earlier link could still reach `pos` find it
    // without looking at every link of a long document for every position.
    const auto& links = m_story.hyperlinks();
    const auto after = std::upper_bound(links.begin(), links.end(), pos,
                                        [](int p, const auto& h) { return p < h->start; });
    const Hyperlink* found = nullptr;
    for (auto k = static_cast<std::size_t>(after - links.begin()); k-- > 0;) {
        const Hyperlink& h = *links[k];
        if (startingOnly) {
            if (h.start < pos) break;
            found = &h;  // starts at pos; keep looking for an earlier one that does too
        } else {
            if (m_linkMaxEnd[k] <= pos) break;  // nothing this early reaches pos
            if (h.end > pos) found = &h;
        }
    }
    return found;
}

void StoryWriter::openHyperlink(const Hyperlink& link) {
    m_xml.start("w:hyperlink");
    if (!link.address.empty())
        attr(m_xml, "r:id", m_part.addRel(kRelHyperlink, toUtf8(link.address), true));
    if (!link.subAddress.empty())
        attr(m_xml, "w:anchor", toUtf8(m_package.bookmarkName(link.subAddress)));
    if (!link.screenTip.empty()) attr(m_xml, "w:tooltip", toUtf8(link.screenTip));
    attr(m_xml, "w:history", "1");
    m_link = &link;
}

void StoryWriter::closeHyperlink() {
    flush();
    m_xml.end();
    m_link = nullptr;
}

void StoryWriter::writeParagraphProperties(int index, bool section) {
    const ParaFormat f = m_story.paragraphFormat(index);
    m_xml.startOptional("w:pPr");
    docx::writeParagraphProperties(m_xml, f,
                                   f.style != 0 ? m_package.styleId(f.style) : std::string());
    const int mark = m_story.paragraphEnd(index) - 1;
    writeRunProperties(m_xml, m_story.charFormat(mark), {});
    if (section) m_package.writeSectionProperties(m_xml, m_package.model().sectionAt(mark), m_part);
    m_xml.end();
}

// The bookmarks that end and start at `pos`, into the paragraph or the hyperlink open there.
void StoryWriter::writeBookmarks(int pos) {
    auto bookmarkEnd = [&](int id) {
        m_xml.start("w:bookmarkEnd");
        attr(m_xml, "w:id", num(static_cast<long long>(id)));
        m_xml.end();
    };
    const auto ends = m_bookmarkEnds.equal_range(pos);
    for (auto it = ends.first; it != ends.second; ++it) {
        if (it->second->start == pos) continue;  // collapsed: after its start below
        flush();
        const auto id = m_bookmarkIds.find(it->second);
        if (id != m_bookmarkIds.end()) bookmarkEnd(id->second);
    }
    const auto starts = m_bookmarkStarts.equal_range(pos);
    for (auto it = starts.first; it != starts.second; ++it) {
        flush();
        const int id = m_package.nextBookmarkId();
        m_bookmarkIds[it->second] = id;
        m_xml.start("w:bookmarkStart");
        attr(m_xml, "w:id", num(static_cast<long long>(id)));
        attr(m_xml, "w:name", toUtf8(m_package.bookmarkName(it->second->name)));
        m_xml.end();
        if (it->second->end == pos) bookmarkEnd(id);
    }
}

void StoryWriter::writeParagraph(int index) {
    const int start = m_story.paragraphStart(index);
    const int mark = m_story.paragraphEnd(index) - 1;
    const bool endsSection =
        m_body && m_story.text()[static_cast<std::size_t>(mark)] == kSectionBreak;
    // A section that ends in a paragraph a field runs into (the table of contents ends in the
    // paragraph of the break after it) gets its w:sectPr on an empty paragraph of its own after
    // that one. Word reads either form; LibreOffice, given the w:sectPr in the field's last
    // paragraph, drops the fields of the section's footer, and so the page numbers of that
    // section and of every later one that shows the same footer.
    const bool sectionApart = endsSection && !m_fieldInCode.empty();
    m_xml.start("w:p");
    writeParagraphProperties(index, endsSection && !sectionApart);
    const bool last = index == m_story.paragraphCount() - 1;
    m_link = nullptr;
    if (const Hyperlink* h = linkAt(start, false); h && h->start < start) openHyperlink(*h);

    bool shapesDone = false;
    FormatRun run = m_story.formatRunAt(start);
    for (int pos = start; pos <= mark; ++pos) {
        if (m_link && m_link->end == pos) closeHyperlink();
        writeBookmarks(pos);
        if (!m_link)
            if (const Hyperlink* h = linkAt(pos, true)) {
                flush();
                openHyperlink(*h);
            }
        if (!shapesDone) {
            // Shapes anchored anywhere in the paragraph are written at its start.
            for (auto it = m_shapes.lower_bound(start); it != m_shapes.end() && it->first <= mark;
                 ++it)
                emitShape(*it->second);
            shapesDone = true;
        }
        if (pos == mark) break;
        const char16_t c = m_story.text()[static_cast<std::size_t>(pos)];
        if (c == kPictureChar) {
            const auto found = m_pictures.find(pos);
            if (found != m_pictures.end()) emitPicture(*found->second, pos);
            continue;
        }
        if (c == kFieldBegin || c == kFieldSeparator || c == kFieldEnd || c == kTab ||
            c == kLineBreak || c == kPageBreak) {
            emitSpecial(c, pos);
            continue;
        }
        const bool code = !m_fieldInCode.empty() && m_fieldInCode.back();
        if (pos >= run.end) run = m_story.formatRunAt(pos);
        const std::uint32_t format = run.format;
        if (!m_pending.empty() && (format != m_pendingFormat || code != m_pendingCode)) flush();
        if (m_pending.empty()) {
            m_pendingFormat = format;
            m_pendingCode = code;
            m_pendingPos = pos;
        }
        m_pending += c;
    }
    flush();
    if (last) writeBookmarks(mark + 1);
    if (m_link) closeHyperlink();
    m_xml.end();  // w:p
    if (sectionApart) {
        m_xml.start("w:p");
        writeParagraphProperties(index, true);
        m_xml.end();
    }
}

}  // namespace quillet::engine::docx
