#include "engine/docx_writer.h"

#include "engine/bookmark_names.h"
#include "engine/docx_common.h"
#include "engine/picture.h"
#include "platform/utf.h"

#include <zip.h>
#include <pugixml.hpp>

#include <algorithm>
#include <list>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace quillet::engine {

namespace {

using namespace docx;

std::string num(long long n) {
    return std::to_string(n);
}
std::string num(double points) {
    std::ostringstream out;
    out << points;
    return out.str();
}

// One XML part of the package with its relationships.
struct Part {
    std::string name;  // "word/document.xml"
    pugi::xml_document xml;
    struct Rel {
        std::string id, type, target;
        bool external = false;
    };
    std::vector<Rel> rels;

    std::string addRel(const char* type, std::string target, bool external = false) {
        const std::string id = "rId" + num(static_cast<long long>(rels.size() + 1));
        rels.push_back({id, type, std::move(target), external});
        return id;
    }
};

pugi::xml_node child(pugi::xml_node parent, const char* name) {
    return parent.append_child(name);
}

// Attribute values and text reach a part only through attr and setText, which leave out what XML
// cannot hold (see xmlCharacters).
void attr(pugi::xml_node node, const char* name, const std::string& value) {
    node.append_attribute(name).set_value(xmlCharacters(value).c_str());
}

void setText(pugi::xml_node node, const std::string& value) {
    node.text().set(xmlCharacters(value).c_str());
}

void valueChild(pugi::xml_node parent, const char* name, const std::string& value) {
    attr(child(parent, name), "w:val", value);
}

void declareNamespaces(pugi::xml_node root) {
    attr(root, "xmlns:w", kNsW);
    attr(root, "xmlns:r", kNsR);
    attr(root, "xmlns:wp", kNsWp);
    attr(root, "xmlns:a", kNsA);
    attr(root, "xmlns:pic", kNsPic);
    attr(root, "xmlns:v", kNsV);
    attr(root, "xmlns:o", kNsO);
}

std::string xmlText(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

// Appends the w:rPr of `f` to `parent` (nothing when it sets nothing).
void writeRunProperties(pugi::xml_node parent, const CharFormat& f,
                        const std::string& charStyleId) {
    pugi::xml_node pr = child(parent, "w:rPr");
    if (!charStyleId.empty()) valueChild(pr, "w:rStyle", charStyleId);
    if (f.font || f.eastAsiaFont) {
        pugi::xml_node fonts = child(pr, "w:rFonts");
        if (f.font) {
            const std::string name = toUtf8(*f.font);
            attr(fonts, "w:ascii", name);
            attr(fonts, "w:hAnsi", name);
            attr(fonts, "w:cs", name);
        }
        if (f.eastAsiaFont) attr(fonts, "w:eastAsia", toUtf8(*f.eastAsiaFont));
    }
    auto toggle = [&](const char* name, const std::optional<bool>& v) {
        if (v) {
            pugi::xml_node n = child(pr, name);
            if (!*v) attr(n, "w:val", "0");
        }
    };
    toggle("w:b", f.bold);
    toggle("w:i", f.italic);
    toggle("w:strike", f.strike);
    toggle("w:vanish", f.hidden);
    if (f.color) valueChild(pr, "w:color", colorText(*f.color));
    if (f.size) valueChild(pr, "w:sz", num(static_cast<long long>(*f.size * 2 + 0.5)));
    if (f.underline)
        valueChild(pr, "w:u", *f.underline == 0 ? "none" : *f.underline == 3 ? "double" : "single");
    if (f.shading) {
        pugi::xml_node shd = child(pr, "w:shd");
        attr(shd, "w:val", "clear");
        attr(shd, "w:color", "auto");
        attr(shd, "w:fill", colorText(*f.shading));
    }
    if (f.verticalAlign)
        valueChild(pr, "w:vertAlign",
                   *f.verticalAlign == 1   ? "superscript"
                   : *f.verticalAlign == 2 ? "subscript"
                                           : "baseline");
    if (!pr.first_child()) parent.remove_child(pr);
}

class PackageWriter;

// Writes one story (the body, a header or a footer) into a part.
// Spacing, indents, alignment and outline level of a paragraph or a paragraph style.
void writeSpacingAndPlacement(pugi::xml_node pr, const ParaFormat& f) {
    if (f.spaceBefore || f.spaceAfter) {
        pugi::xml_node s = child(pr, "w:spacing");
        if (f.spaceBefore) attr(s, "w:before", num(twips(*f.spaceBefore)));
        if (f.spaceAfter) attr(s, "w:after", num(twips(*f.spaceAfter)));
    }
    if (f.leftIndent || f.rightIndent || f.firstLineIndent) {
        pugi::xml_node ind = child(pr, "w:ind");
        if (f.leftIndent) attr(ind, "w:left", num(twips(*f.leftIndent)));
        if (f.rightIndent) attr(ind, "w:right", num(twips(*f.rightIndent)));
        if (f.firstLineIndent) {
            if (*f.firstLineIndent < 0)
                attr(ind, "w:hanging", num(twips(-*f.firstLineIndent)));
            else
                attr(ind, "w:firstLine", num(twips(*f.firstLineIndent)));
        }
    }
    if (f.alignment) valueChild(pr, "w:jc", alignmentText(*f.alignment));
    if (f.outlineLevel)
        valueChild(pr, "w:outlineLvl", num(static_cast<long long>(*f.outlineLevel - 1)));
}

class StoryWriter {
public:
    StoryWriter(PackageWriter& package, Part& part, const Story& story, bool body)
        : m_package(package), m_part(part), m_story(story), m_body(body) {
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

    // Writes the paragraphs [first, last] into `parent`, tables at `depth` and deeper as tables.
    void writeBlocks(pugi::xml_node parent, int first, int last, std::size_t depth);

private:
    void writeTable(pugi::xml_node parent, int first, int last, std::size_t depth);
    void writeParagraph(pugi::xml_node parent, int index);
    void writeParagraphProperties(pugi::xml_node p, int index);
    pugi::xml_node openRun(std::uint32_t formatId, int pos);
    void flush();
    void emitSpecial(char16_t c, int pos);
    void emitPicture(const InlinePicture& picture, int pos);
    void emitShape(const Shape& shape);
    pugi::xml_node openHyperlink(pugi::xml_node p, const Hyperlink& link);
    const Hyperlink* linkAt(int pos, bool startingOnly) const;

    PackageWriter& m_package;
    Part& m_part;
    const Story& m_story;
    bool m_body;
    std::multimap<int, const Bookmark*> m_bookmarkStarts, m_bookmarkEnds;
    std::multimap<int, const Shape*> m_shapes;
    std::map<int, const InlinePicture*> m_pictures;
    std::map<const Bookmark*, int> m_bookmarkIds;
    std::vector<bool> m_fieldInCode;  // per open field: still in its code
    std::vector<int> m_linkMaxEnd;    // per hyperlink (by start): the furthest end up to it

    pugi::xml_node m_container;  // the paragraph or hyperlink that runs go into
    const Hyperlink* m_link = nullptr;
    std::u16string m_pending;  // text of the run being gathered
    std::uint32_t m_pendingFormat = 0;
    bool m_pendingCode = false;
    int m_pendingPos = 0;
};

class PackageWriter {
public:
    explicit PackageWriter(const DocumentModel& model) : m_model(model), m_names(model) {}

    void write(const std::u16string& path);

    const DocumentModel& model() const { return m_model; }
    std::u16string bookmarkName(const std::u16string& name) const { return m_names(name); }
    int nextBookmarkId() { return m_bookmarkId++; }
    int nextDrawingId() { return m_drawingId++; }
    // Adds an image file to the package; returns its relationship in `part`.
    std::string addImage(Part& part, const PictureData& picture);
    std::string styleId(int index) const { return toUtf8(m_model.styles().at(index).id); }
    std::string charStyleId(const std::u16string& name) const {
        const int index = m_model.styles().findByName(name);
        return index >= 0 ? styleId(index) : std::string();
    }
    void writeSectionProperties(pugi::xml_node parent, int section, Part& part);

private:
    Part& newPart(std::string name, std::string contentType) {
        m_parts.emplace_back();
        m_parts.back().name = std::move(name);
        m_overrides.emplace_back("/" + m_parts.back().name, std::move(contentType));
        return m_parts.back();
    }
    std::string headerPart(const Story& story, bool footer);
    void writeStyles(Part& part);
    void writeSettings(Part& part);
    void addFile(std::string name, std::string data) {
        m_files.emplace_back(std::move(name), std::move(data));
    }

    const DocumentModel& m_model;
    BookmarkNames m_names;
    int m_bookmarkId = 0;
    int m_drawingId = 1;
    int m_images = 0;
    std::unordered_map<std::string, std::string> m_imageByContent;  // extension + bytes -> file
    std::unordered_map<std::string, std::string> m_imageRels;       // part + file -> relationship
    int m_headers = 0;
    std::list<Part> m_parts;
    std::vector<std::pair<std::string, std::string>> m_overrides;
    std::list<std::pair<std::string, std::string>> m_files;  // name, bytes
    std::set<std::string> m_imageExtensions;
};

// ---------------------------------------------------------------------------------------------
// Story writer

void StoryWriter::writeBlocks(pugi::xml_node parent, int first, int last, std::size_t depth) {
    for (int i = first; i <= last;) {
        const ParaFormat& f = m_story.paragraphFormat(i);
        if (f.cells.size() > depth) {
            const int table = f.cells[depth].table;
            int j = i;
            while (j + 1 <= last && m_story.paragraphFormat(j + 1).cells.size() > depth &&
                   m_story.paragraphFormat(j + 1).cells[depth].table == table)
                ++j;
            writeTable(parent, i, j, depth);
            i = j + 1;
        } else {
            writeParagraph(parent, i);
            ++i;
        }
    }
}

void StoryWriter::writeTable(pugi::xml_node parent, int first, int last, std::size_t depth) {
    const int id = m_story.paragraphFormat(first).cells[depth].table;
    const TableInfo& table = m_story.tables()[static_cast<std::size_t>(id)];
    // Paragraphs of each cell, by (row, column).
    std::map<std::pair<int, int>, std::pair<int, int>> cells;
    for (int i = first; i <= last; ++i) {
        const CellRef& c = m_story.paragraphFormat(i).cells[depth];
        auto [it, added] = cells.emplace(std::make_pair(c.row, c.column), std::make_pair(i, i));
        if (!added) it->second.second = i;
    }
    pugi::xml_node tbl = child(parent, "w:tbl");
    pugi::xml_node pr = child(tbl, "w:tblPr");
    pugi::xml_node width = child(pr, "w:tblW");
    attr(width, "w:w", "0");
    attr(width, "w:type", "auto");
    if (table.alignment) valueChild(pr, "w:jc", alignmentText(*table.alignment));
    if (table.borderWidth > 0) {
        pugi::xml_node borders = child(pr, "w:tblBorders");
        for (const char* side :
             {"w:top", "w:left", "w:bottom", "w:right", "w:insideH", "w:insideV"}) {
            pugi::xml_node b = child(borders, side);
            attr(b, "w:val", "single");
            attr(b, "w:sz", num(static_cast<long long>(table.borderWidth * 8 + 0.5)));
            attr(b, "w:space", "0");
            attr(b, "w:color", "auto");
        }
    }
    pugi::xml_node grid = child(tbl, "w:tblGrid");
    for (double w : table.grid) attr(child(grid, "w:gridCol"), "w:w", num(twips(w)));
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const RowInfo& row = table.rows[r];
        pugi::xml_node tr = child(tbl, "w:tr");
        if (row.header) child(child(tr, "w:trPr"), "w:tblHeader");
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            const CellInfo& cell = row.cells[c];
            pugi::xml_node tc = child(tr, "w:tc");
            pugi::xml_node tcPr = child(tc, "w:tcPr");
            pugi::xml_node w = child(tcPr, "w:tcW");
            attr(w, "w:w", num(twips(cell.width)));
            attr(w, "w:type", cell.width > 0 ? "dxa" : "auto");
            if (cell.gridSpan > 1)
                valueChild(tcPr, "w:gridSpan", num(static_cast<long long>(cell.gridSpan)));
            if (cell.verticalMerge == 1) valueChild(tcPr, "w:vMerge", "restart");
            if (cell.verticalMerge == 2) child(tcPr, "w:vMerge");
            if (cell.shading) {
                pugi::xml_node shd = child(tcPr, "w:shd");
                attr(shd, "w:val", "clear");
                attr(shd, "w:color", "auto");
                attr(shd, "w:fill", colorText(*cell.shading));
            }
            const auto found = cells.find({static_cast<int>(r), static_cast<int>(c)});
            if (found == cells.end())
                child(tc, "w:p");  // every cell holds a paragraph
            else
                writeBlocks(tc, found->second.first, found->second.second, depth + 1);
        }
    }
}

pugi::xml_node StoryWriter::openRun(std::uint32_t formatId, int pos) {
    (void)formatId;
    pugi::xml_node r = child(m_container, "w:r");
    const CharFormat& f = m_story.charFormat(pos);
    writeRunProperties(r, f,
                       f.charStyle.empty() ? std::string() : m_package.charStyleId(f.charStyle));
    return r;
}

void StoryWriter::flush() {
    if (m_pending.empty()) return;
    pugi::xml_node r = openRun(m_pendingFormat, m_pendingPos);
    pugi::xml_node t = child(r, m_pendingCode ? "w:instrText" : "w:t");
    attr(t, "xml:space", "preserve");
    setText(t, toUtf8(m_pending));
    m_pending.clear();
}

void StoryWriter::emitSpecial(char16_t c, int pos) {
    flush();
    pugi::xml_node r = openRun(m_story.charFormatId(pos), pos);
    switch (c) {
        case kFieldBegin:
            attr(child(r, "w:fldChar"), "w:fldCharType", "begin");
            m_fieldInCode.push_back(true);
            break;
        case kFieldSeparator:
            attr(child(r, "w:fldChar"), "w:fldCharType", "separate");
            if (!m_fieldInCode.empty()) m_fieldInCode.back() = false;
            break;
        case kFieldEnd:
            attr(child(r, "w:fldChar"), "w:fldCharType", "end");
            if (!m_fieldInCode.empty()) m_fieldInCode.pop_back();
            break;
        case kTab:
            child(r, "w:tab");
            break;
        case kLineBreak:
            child(r, "w:br");
            break;
        case kPageBreak:
            attr(child(r, "w:br"), "w:type", "page");
            break;
        default:
            m_container.remove_child(r);
            break;
    }
}

void StoryWriter::emitPicture(const InlinePicture& item, int pos) {
    flush();
    PictureData picture = item.picture;
    if (!picture.linked) storePictureBytes(picture);  // an unsaved copy may still be readable
    std::string embed, link;
    if (!picture.bytes.empty()) embed = m_package.addImage(m_part, picture);
    if (picture.linked) link = m_part.addRel(kRelImage, fileUri(picture.sourcePath), true);
    if (embed.empty() && link.empty()) {
        // A picture that is neither stored nor linked shows its alternative text.
        if (!picture.altText.empty()) {
            m_pending = picture.altText;
            m_pendingCode = false;
            m_pendingPos = pos;
            flush();
        }
        return;
    }
    const int id = m_package.nextDrawingId();
    pugi::xml_node r = openRun(m_story.charFormatId(pos), pos);
    pugi::xml_node inl = child(child(r, "w:drawing"), "wp:inline");
    for (const char* d : {"distT", "distB", "distL", "distR"}) attr(inl, d, "0");
    pugi::xml_node extent = child(inl, "wp:extent");
    attr(extent, "cx", num(emu(picture.width)));
    attr(extent, "cy", num(emu(picture.height)));
    pugi::xml_node docPr = child(inl, "wp:docPr");
    attr(docPr, "id", num(static_cast<long long>(id)));
    attr(docPr, "name", "Picture " + num(static_cast<long long>(id)));
    if (!picture.altText.empty()) attr(docPr, "descr", toUtf8(picture.altText));
    pugi::xml_node locks = child(child(inl, "wp:cNvGraphicFramePr"), "a:graphicFrameLocks");
    attr(locks, "noChangeAspect", picture.lockAspectRatio ? "1" : "0");
    pugi::xml_node data = child(child(inl, "a:graphic"), "a:graphicData");
    attr(data, "uri", kPictureUri);
    pugi::xml_node pic = child(data, "pic:pic");
    pugi::xml_node nv = child(pic, "pic:nvPicPr");
    pugi::xml_node cNvPr = child(nv, "pic:cNvPr");
    attr(cNvPr, "id", "0");
    attr(cNvPr, "name",
         toUtf8(picture.sourcePath.substr(picture.sourcePath.find_last_of(u'/') + 1)));
    child(nv, "pic:cNvPicPr");
    pugi::xml_node fill = child(pic, "pic:blipFill");
    pugi::xml_node blip = child(fill, "a:blip");
    if (!embed.empty()) attr(blip, "r:embed", embed);
    if (!link.empty()) attr(blip, "r:link", link);
    child(child(fill, "a:stretch"), "a:fillRect");
    pugi::xml_node spPr = child(pic, "pic:spPr");
    pugi::xml_node xfrm = child(spPr, "a:xfrm");
    pugi::xml_node off = child(xfrm, "a:off");
    attr(off, "x", "0");
    attr(off, "y", "0");
    pugi::xml_node ext = child(xfrm, "a:ext");
    attr(ext, "cx", num(emu(picture.width)));
    attr(ext, "cy", num(emu(picture.height)));
    attr(child(child(spPr, "a:prstGeom"), "a:avLst").parent(), "prst", "rect");
}

void StoryWriter::emitShape(const Shape& shape) {
    const int id = m_package.nextDrawingId();
    pugi::xml_node r = child(m_container, "w:r");
    if (shape.type == kShapeLine) {
        const double x1 = shape.left + (shape.flipHorizontal ? shape.picture.width : 0);
        const double x2 = shape.left + (shape.flipHorizontal ? 0 : shape.picture.width);
        const double y1 = shape.top + (shape.flipVertical ? shape.picture.height : 0);
        const double y2 = shape.top + (shape.flipVertical ? 0 : shape.picture.height);
        pugi::xml_node line = child(child(r, "w:pict"), "v:line");
        attr(line, "id", "Line " + num(static_cast<long long>(id)));
        attr(line, "style",
             "position:absolute;mso-position-horizontal-relative:page;"
             "mso-position-vertical-relative:page;z-index:" +
                 num(static_cast<long long>(id)));
        attr(line, "from", num(x1) + "pt," + num(y1) + "pt");
        attr(line, "to", num(x2) + "pt," + num(y2) + "pt");
        attr(line, "strokeweight", num(shape.lineWeight) + "pt");
        return;
    }
    PictureData picture = shape.picture;
    std::string embed, link;
    if (!picture.linked) storePictureBytes(picture);
    if (!picture.bytes.empty()) embed = m_package.addImage(m_part, picture);
    if (picture.linked) link = m_part.addRel(kRelImage, fileUri(picture.sourcePath), true);
    if (embed.empty() && link.empty()) {
        m_container.remove_child(r);
        return;
    }
    pugi::xml_node anchor = child(child(r, "w:drawing"), "wp:anchor");
    for (const char* d : {"distT", "distB", "distL", "distR"}) attr(anchor, d, "0");
    attr(anchor, "simplePos", "0");
    attr(anchor, "relativeHeight", num(static_cast<long long>(id)));
    attr(anchor, "behindDoc", "0");
    attr(anchor, "locked", "0");
    attr(anchor, "layoutInCell", "1");
    attr(anchor, "allowOverlap", "1");
    pugi::xml_node simple = child(anchor, "wp:simplePos");
    attr(simple, "x", "0");
    attr(simple, "y", "0");
    pugi::xml_node h = child(anchor, "wp:positionH");
    attr(h, "relativeFrom", "page");
    setText(child(h, "wp:posOffset"), num(emu(shape.left)));
    pugi::xml_node v = child(anchor, "wp:positionV");
    attr(v, "relativeFrom", "page");
    setText(child(v, "wp:posOffset"), num(emu(shape.top)));
    pugi::xml_node extent = child(anchor, "wp:extent");
    attr(extent, "cx", num(emu(picture.width)));
    attr(extent, "cy", num(emu(picture.height)));
    child(anchor, "wp:wrapNone");
    pugi::xml_node docPr = child(anchor, "wp:docPr");
    attr(docPr, "id", num(static_cast<long long>(id)));
    attr(docPr, "name", "Picture " + num(static_cast<long long>(id)));
    if (!picture.altText.empty()) attr(docPr, "descr", toUtf8(picture.altText));
    pugi::xml_node locks = child(child(anchor, "wp:cNvGraphicFramePr"), "a:graphicFrameLocks");
    attr(locks, "noChangeAspect", picture.lockAspectRatio ? "1" : "0");
    pugi::xml_node data = child(child(anchor, "a:graphic"), "a:graphicData");
    attr(data, "uri", kPictureUri);
    pugi::xml_node pic = child(data, "pic:pic");
    pugi::xml_node nv = child(pic, "pic:nvPicPr");
    pugi::xml_node cNvPr = child(nv, "pic:cNvPr");
    attr(cNvPr, "id", "0");
    attr(cNvPr, "name", "Picture");
    child(nv, "pic:cNvPicPr");
    pugi::xml_node fill = child(pic, "pic:blipFill");
    pugi::xml_node blip = child(fill, "a:blip");
    if (!embed.empty()) attr(blip, "r:embed", embed);
    if (!link.empty()) attr(blip, "r:link", link);
    child(child(fill, "a:stretch"), "a:fillRect");
    pugi::xml_node spPr = child(pic, "pic:spPr");
    pugi::xml_node xfrm = child(spPr, "a:xfrm");
    pugi::xml_node off = child(xfrm, "a:off");
    attr(off, "x", "0");
    attr(off, "y", "0");
    pugi::xml_node ext = child(xfrm, "a:ext");
    attr(ext, "cx", num(emu(picture.width)));
    attr(ext, "cy", num(emu(picture.height)));
    attr(child(child(spPr, "a:prstGeom"), "a:avLst").parent(), "prst", "rect");
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

pugi::xml_node StoryWriter::openHyperlink(pugi::xml_node p, const Hyperlink& link) {
    pugi::xml_node h = child(p, "w:hyperlink");
    if (!link.address.empty())
        attr(h, "r:id", m_part.addRel(kRelHyperlink, toUtf8(link.address), true));
    if (!link.subAddress.empty())
        attr(h, "w:anchor", toUtf8(m_package.bookmarkName(link.subAddress)));
    if (!link.screenTip.empty()) attr(h, "w:tooltip", toUtf8(link.screenTip));
    attr(h, "w:history", "1");
    m_link = &link;
    return h;
}

void StoryWriter::writeParagraphProperties(pugi::xml_node p, int index) {
    const ParaFormat& f = m_story.paragraphFormat(index);
    pugi::xml_node pr = child(p, "w:pPr");
    if (f.style != 0) valueChild(pr, "w:pStyle", m_package.styleId(f.style));
    if (f.keepWithNext) {
        pugi::xml_node n = child(pr, "w:keepNext");
        if (!*f.keepWithNext) attr(n, "w:val", "0");
    }
    if (f.pageBreakBefore) {
        pugi::xml_node n = child(pr, "w:pageBreakBefore");
        if (!*f.pageBreakBefore) attr(n, "w:val", "0");
    }
    if (f.shading) {
        pugi::xml_node shd = child(pr, "w:shd");
        attr(shd, "w:val", "clear");
        attr(shd, "w:color", "auto");
        attr(shd, "w:fill", colorText(*f.shading));
    }
    writeSpacingAndPlacement(pr, f);
    const int mark = m_story.paragraphEnd(index) - 1;
    CharFormat markFormat = m_story.charFormat(mark);
    markFormat.charStyle.clear();
    writeRunProperties(pr, markFormat, std::string());
    if (m_body && m_story.text()[static_cast<std::size_t>(mark)] == kSectionBreak)
        m_package.writeSectionProperties(pr, m_package.model().sectionAt(mark), m_part);
    if (!pr.first_child()) p.remove_child(pr);
}

void StoryWriter::writeParagraph(pugi::xml_node parent, int index) {
    pugi::xml_node p = child(parent, "w:p");
    writeParagraphProperties(p, index);
    const int start = m_story.paragraphStart(index);
    const int mark = m_story.paragraphEnd(index) - 1;
    const bool last = index == m_story.paragraphCount() - 1;
    m_container = p;
    m_link = nullptr;
    if (const Hyperlink* h = linkAt(start, false); h && h->start < start)
        m_container = openHyperlink(p, *h);

    auto closeLink = [&] {
        flush();
        m_container = p;
        m_link = nullptr;
    };
    auto bookmarkEvents = [&](int pos) {
        const auto ends = m_bookmarkEnds.equal_range(pos);
        for (auto it = ends.first; it != ends.second; ++it) {
            if (it->second->start == pos) continue;  // collapsed: after its start below
            flush();
            const auto id = m_bookmarkIds.find(it->second);
            if (id != m_bookmarkIds.end())
                attr(child(m_container, "w:bookmarkEnd"), "w:id",
                     num(static_cast<long long>(id->second)));
        }
        const auto starts = m_bookmarkStarts.equal_range(pos);
        for (auto it = starts.first; it != starts.second; ++it) {
            flush();
            const int id = m_package.nextBookmarkId();
            m_bookmarkIds[it->second] = id;
            pugi::xml_node b = child(m_container, "w:bookmarkStart");
            attr(b, "w:id", num(static_cast<long long>(id)));
            attr(b, "w:name", toUtf8(m_package.bookmarkName(it->second->name)));
            if (it->second->end == pos)
                attr(child(m_container, "w:bookmarkEnd"), "w:id", num(static_cast<long long>(id)));
        }
    };

    bool shapesDone = false;
    FormatRun run = m_story.formatRunAt(start);
    for (int pos = start; pos <= mark; ++pos) {
        if (m_link && m_link->end == pos) closeLink();
        bookmarkEvents(pos);
        if (!m_link)
            if (const Hyperlink* h = linkAt(pos, true)) {
                flush();
                m_container = openHyperlink(p, *h);
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
    if (last) bookmarkEvents(mark + 1);
}

// ---------------------------------------------------------------------------------------------
// Package

std::string PackageWriter::addImage(Part& part, const PictureData& picture) {
    const std::string ext = picture.extension.empty() ? "png" : toUtf8(picture.extension);
    // Pictures with the same bytes share one file in the package: help pages repeat the same
    // icons thousands of times.
    auto [stored, added] = m_imageByContent.try_emplace(ext + '\n' + picture.bytes);
    if (added) {
        m_imageExtensions.insert(ext);
        stored->second = "media/image" + num(static_cast<long long>(++m_images)) + "." + ext;
        addFile("word/" + stored->second, picture.bytes);
    }
    const std::string key = part.name + '\n' + stored->second;
    auto [rel, newRel] = m_imageRels.try_emplace(key);
    if (newRel) rel->second = part.addRel(kRelImage, stored->second);
    return rel->second;
}

std::string PackageWriter::headerPart(const Story& story, bool footer) {
    const std::string kind = footer ? "footer" : "header";
    Part& part =
        newPart("word/" + kind + num(static_cast<long long>(++m_headers)) + ".xml",
                "application/vnd.openxmlformats-officedocument.wordprocessingml." + kind + "+xml");
    pugi::xml_node root = part.xml.append_child(footer ? "w:ftr" : "w:hdr");
    declareNamespaces(root);
    StoryWriter writer(*this, part, story, false);
    writer.writeBlocks(root, 0, story.paragraphCount() - 1, 0);
    return part.name.substr(5);  // relative to word/
}

void PackageWriter::writeSectionProperties(pugi::xml_node parent, int index, Part& part) {
    const Section& s = m_model.sections()[static_cast<std::size_t>(index)];
    pugi::xml_node pr = child(parent, "w:sectPr");
    static const char* kTypes[] = {"default", "first", "even"};
    for (bool footer : {false, true}) {
        const auto& list = footer ? s.footers : s.headers;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].linkToPrevious || !list[i].story) continue;
            const std::string target = headerPart(*list[i].story, footer);
            pugi::xml_node ref = child(pr, footer ? "w:footerReference" : "w:headerReference");
            attr(ref, "w:type", kTypes[i]);
            attr(ref, "r:id", part.addRel(footer ? kRelFooter : kRelHeader, target));
        }
    }
    static const char* kBreaks[] = {"nextPage", "continuous", "evenPage", "oddPage"};
    if (s.breakType >= 3 && s.breakType <= 5) valueChild(pr, "w:type", kBreaks[s.breakType - 2]);
    pugi::xml_node size = child(pr, "w:pgSz");
    attr(size, "w:w", num(twips(s.page.pageWidth)));
    attr(size, "w:h", num(twips(s.page.pageHeight)));
    if (s.page.pageWidth > s.page.pageHeight) attr(size, "w:orient", "landscape");
    pugi::xml_node margins = child(pr, "w:pgMar");
    attr(margins, "w:top", num(twips(s.page.topMargin)));
    attr(margins, "w:right", num(twips(s.page.rightMargin)));
    attr(margins, "w:bottom", num(twips(s.page.bottomMargin)));
    attr(margins, "w:left", num(twips(s.page.leftMargin)));
    attr(margins, "w:header", num(twips(s.page.headerDistance)));
    attr(margins, "w:footer", num(twips(s.page.footerDistance)));
    attr(margins, "w:gutter", "0");
    if (s.page.lineNumbering) attr(child(pr, "w:lnNumType"), "w:countBy", "1");
    if (s.restartNumbering)
        attr(child(pr, "w:pgNumType"), "w:start", num(static_cast<long long>(s.startingNumber)));
    if (s.titlePage) child(pr, "w:titlePg");
}

void PackageWriter::writeStyles(Part& part) {
    const StyleSheet& sheet = m_model.styles();
    pugi::xml_node root = part.xml.append_child("w:styles");
    attr(root, "xmlns:w", kNsW);
    pugi::xml_node defaults = child(root, "w:docDefaults");
    pugi::xml_node rDefault = child(child(defaults, "w:rPrDefault"), "w:rPr");
    {
        pugi::xml_node fonts = child(rDefault, "w:rFonts");
        const std::string font = toUtf8(sheet.defaults.font.value_or(u"Times New Roman"));
        attr(fonts, "w:ascii", font);
        attr(fonts, "w:hAnsi", font);
        attr(fonts, "w:cs", font);
        if (sheet.defaults.eastAsiaFont)
            attr(fonts, "w:eastAsia", toUtf8(*sheet.defaults.eastAsiaFont));
        valueChild(rDefault, "w:sz",
                   num(static_cast<long long>(sheet.defaults.size.value_or(12) * 2 + 0.5)));
    }
    child(defaults, "w:pPrDefault");
    for (int i = 0; i < sheet.count(); ++i) {
        const Style& s = sheet.at(i);
        pugi::xml_node style = child(root, "w:style");
        static const char* kTypes[] = {"", "paragraph", "character", "table", "numbering"};
        attr(style, "w:type", kTypes[static_cast<int>(s.type)]);
        attr(style, "w:styleId", toUtf8(s.id));
        if (s.builtin == kStyleNormal || s.builtin == kStyleDefaultParagraphFont)
            attr(style, "w:default", "1");
        valueChild(style, "w:name", toUtf8(fileStyleName(s.builtin, s.name)));
        if (s.basedOn >= 0) valueChild(style, "w:basedOn", toUtf8(sheet.at(s.basedOn).id));
        if (s.next >= 0) valueChild(style, "w:next", toUtf8(sheet.at(s.next).id));
        if (s.builtin <= kStyleHeading1 || s.builtin == kStyleNormal) child(style, "w:qFormat");
        if (s.type == StyleType::Paragraph) {
            const ParaFormat& f = s.paragraph;
            pugi::xml_node pr = child(style, "w:pPr");
            if (f.keepWithNext && *f.keepWithNext) child(pr, "w:keepNext");
            if (f.pageBreakBefore && *f.pageBreakBefore) child(pr, "w:pageBreakBefore");
            writeSpacingAndPlacement(pr, f);
            if (!pr.first_child()) style.remove_child(pr);
        }
        CharFormat font = s.font;
        font.charStyle.clear();
        writeRunProperties(style, font, std::string());
    }
}

void PackageWriter::writeSettings(Part& part) {
    pugi::xml_node root = part.xml.append_child("w:settings");
    attr(root, "xmlns:w", kNsW);
    if (m_model.updateFieldsOnOpen) valueChild(root, "w:updateFields", "true");
    valueChild(root, "w:defaultTabStop", "720");
    pugi::xml_node compat = child(root, "w:compat");
    pugi::xml_node mode = child(compat, "w:compatSetting");
    attr(mode, "w:name", "compatibilityMode");
    attr(mode, "w:uri", "http://schemas.microsoft.com/office/word");
    attr(mode, "w:val", "15");
}

std::string relationshipsXml(const std::vector<Part::Rel>& rels) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("Relationships");
    attr(root, "xmlns", kNsPackageRels);
    for (const Part::Rel& r : rels) {
        pugi::xml_node n = child(root, "Relationship");
        attr(n, "Id", r.id);
        attr(n, "Type", r.type);
        attr(n, "Target", r.target);
        if (r.external) attr(n, "TargetMode", "External");
    }
    return xmlText(doc);
}

void PackageWriter::write(const std::u16string& path) {
    Part& document =
        newPart("word/document.xml",
                "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml");
    pugi::xml_node root = document.xml.append_child("w:document");
    declareNamespaces(root);
    pugi::xml_node body = child(root, "w:body");
    {
        StoryWriter writer(*this, document, m_model.body(), true);
        writer.writeBlocks(body, 0, m_model.body().paragraphCount() - 1, 0);
    }
    writeSectionProperties(body, static_cast<int>(m_model.sections().size()) - 1, document);

    Part& styles =
        newPart("word/styles.xml",
                "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml");
    writeStyles(styles);
    document.addRel(kRelStyles, "styles.xml");
    Part& settings =
        newPart("word/settings.xml",
                "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml");
    writeSettings(settings);
    document.addRel(kRelSettings, "settings.xml");

    // Package-level parts.
    {
        pugi::xml_document core;
        pugi::xml_node cp = core.append_child("cp:coreProperties");
        attr(cp, "xmlns:cp",
             "http://schemas.openxmlformats.org/package/2006/metadata/core-properties");
        attr(cp, "xmlns:dc", "http://purl.org/dc/elements/1.1/");
        setText(child(cp, "dc:creator"), "Quillet");
        addFile("docProps/core.xml", xmlText(core));
        m_overrides.emplace_back("/docProps/core.xml",
                                 "application/vnd.openxmlformats-package.core-properties+xml");
        pugi::xml_document app;
        pugi::xml_node props = app.append_child("Properties");
        attr(props, "xmlns",
             "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties");
        setText(child(props, "Application"), "Quillet");
        addFile("docProps/app.xml", xmlText(app));
        m_overrides.emplace_back(
            "/docProps/app.xml",
            "application/vnd.openxmlformats-officedocument.extended-properties+xml");
    }
    std::vector<Part::Rel> packageRels = {
        {"rId1", kRelOfficeDocument, "word/document.xml", false},
        {"rId2", kRelCoreProperties, "docProps/core.xml", false},
        {"rId3", kRelExtendedProperties, "docProps/app.xml", false}};

    pugi::xml_document types;
    pugi::xml_node typesRoot = types.append_child("Types");
    attr(typesRoot, "xmlns", kNsContentTypes);
    auto addDefault = [&](const std::string& ext, const std::string& type) {
        pugi::xml_node d = child(typesRoot, "Default");
        attr(d, "Extension", ext);
        attr(d, "ContentType", type);
    };
    addDefault("rels", "application/vnd.openxmlformats-package.relationships+xml");
    addDefault("xml", "application/xml");
    for (const std::string& ext : m_imageExtensions) addDefault(ext, "image/" + ext);
    for (const auto& [name, type] : m_overrides) {
        pugi::xml_node o = child(typesRoot, "Override");
        attr(o, "PartName", name);
        attr(o, "ContentType", type);
    }

    std::list<std::pair<std::string, std::string>> entries;
    entries.emplace_back("[Content_Types].xml", xmlText(types));
    entries.emplace_back("_rels/.rels", relationshipsXml(packageRels));
    for (const Part& part : m_parts) {
        entries.emplace_back(part.name, xmlText(part.xml));
        if (!part.rels.empty()) {
            const std::size_t slash = part.name.find_last_of('/');
            entries.emplace_back(
                part.name.substr(0, slash) + "/_rels/" + part.name.substr(slash + 1) + ".rels",
                relationshipsXml(part.rels));
        }
    }
    for (auto& f : m_files) entries.push_back(std::move(f));

    const std::string file = toUtf8(path);
    int error = 0;
    zip_t* zip = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) throw std::runtime_error("cannot write " + file);
    for (const auto& [name, data] : entries) {
        zip_source_t* source = zip_source_buffer(zip, data.data(), data.size(), 0);
        if (!source ||
            zip_file_add(zip, name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
            if (source) zip_source_free(source);
            zip_discard(zip);
            throw std::runtime_error("cannot write " + file + ": " + name);
        }
    }
    if (zip_close(zip) != 0) {
        const std::string why = zip_strerror(zip);
        zip_discard(zip);
        throw std::runtime_error("cannot write " + file + ": " + why);
    }
}

}  // namespace

void writeDocx(const DocumentModel& model, const std::u16string& path) {
    PackageWriter(model).write(path);
}

}  // namespace quillet::engine
