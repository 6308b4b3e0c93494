#include "engine/docx_reader.h"

#include "engine/docx_common.h"
#include "engine/picture.h"
#include "platform/utf.h"

#include <zip.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>

namespace quillet::engine {

namespace {

// Text that is only blanks ("<w:t xml:space=\"preserve\"> </w:t>", the space between two
// links) is text: pugixml leaves such nodes out unless asked to keep them.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata;

using namespace docx;

class ZipReader {
public:
    explicit ZipReader(const std::u16string& path) : m_name(toUtf8(path)) {
        int error = 0;
        m_zip = zip_open(m_name.c_str(), ZIP_RDONLY, &error);
        if (!m_zip)
            throw std::runtime_error("cannot open " + m_name + ": not a Word document or missing");
    }
    ~ZipReader() { zip_discard(m_zip); }
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    std::optional<std::string> read(const std::string& name) const {
        zip_stat_t stat;
        if (zip_stat(m_zip, name.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return std::nullopt;
        zip_file_t* file = zip_fopen(m_zip, name.c_str(), 0);
        if (!file) return std::nullopt;
        std::string data(stat.size, '\0');
        const zip_int64_t got = zip_fread(file, data.data(), stat.size);
        zip_fclose(file);
        if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size) return std::nullopt;
        return data;
    }
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
    zip_t* m_zip = nullptr;
};

struct Rel {
    std::string type, target;
    bool external = false;
};
using Rels = std::map<std::string, Rel>;

// "word/" for "word/document.xml".
std::string folderOf(const std::string& part) {
    return part.substr(0, part.find_last_of('/') + 1);
}

// Resolves a relative target ("media/a.png", "../x") against a folder ("word/").
std::string resolve(const std::string& folder, const std::string& target) {
    if (!target.empty() && target[0] == '/') return target.substr(1);
    std::string base = folder, rest = target;
    while (rest.starts_with("../")) {
        rest.erase(0, 3);
        if (!base.empty()) base.erase(base.find_last_of('/', base.size() - 2) + 1);
    }
    return base + rest;
}

Rels readRels(const ZipReader& zip, const std::string& part) {
    Rels rels;
    const std::size_t slash = part.find_last_of('/');
    const std::string name =
        part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
    const auto data = zip.read(name);
    if (!data) return rels;
    pugi::xml_document doc;
    if (!doc.load_buffer(data->data(), data->size(), kParseOptions)) return rels;
    for (pugi::xml_node r : doc.child("Relationships").children("Relationship"))
        rels[r.attribute("Id").value()] = {
            r.attribute("Type").value(), r.attribute("Target").value(),
            std::string_view(r.attribute("TargetMode").value()) == "External"};
    return rels;
}

bool onOff(pugi::xml_node n) {
    const std::string_view v = n.attribute("w:val").value();
    return !(v == "0" || v == "false" || v == "off");
}

double attrNumber(pugi::xml_node n, const char* name) {
    return std::atof(n.attribute(name).value());
}

CharFormat readRunProperties(pugi::xml_node pr, const DocumentModel& model,
                             const std::map<std::string, int>& styleIds) {
    CharFormat f;
    for (pugi::xml_node n : pr.children()) {
        const std::string_view name = n.name();
        if (name == "w:rStyle") {
            const auto it = styleIds.find(n.attribute("w:val").value());
            if (it != styleIds.end()) f.charStyle = model.styles().at(it->second).name;
        } else if (name == "w:rFonts") {
            const char* ascii = n.attribute("w:ascii").value();
            if (!*ascii) ascii = n.attribute("w:hAnsi").value();
            if (*ascii) f.font = fromUtf8(ascii);
            if (const char* ea = n.attribute("w:eastAsia").value(); *ea)
                f.eastAsiaFont = fromUtf8(ea);
        } else if (name == "w:b") {
            f.bold = onOff(n);
        } else if (name == "w:i") {
            f.italic = onOff(n);
        } else if (name == "w:strike") {
            f.strike = onOff(n);
        } else if (name == "w:vanish") {
            f.hidden = onOff(n);
        } else if (name == "w:color") {
            if (auto c = parseColor(n.attribute("w:val").value())) f.color = c;
        } else if (name == "w:sz") {
            f.size = attrNumber(n, "w:val") / 2;
        } else if (name == "w:u") {
            const std::string_view v = n.attribute("w:val").value();
            f.underline = v == "none" ? 0 : v == "double" ? 3 : 1;
        } else if (name == "w:shd") {
            const std::string_view fill = n.attribute("w:fill").value();
            if (fill != "auto")
                if (auto c = parseColor(fill)) f.shading = c;
        } else if (name == "w:lang") {
            if (const char* ea = n.attribute("w:eastAsia").value(); *ea)
                f.eastAsiaLanguage = fromUtf8(ea);
            if (const char* val = n.attribute("w:val").value(); *val) f.language = fromUtf8(val);
        } else if (name == "w:vertAlign") {
            const std::string_view v = n.attribute("w:val").value();
            f.verticalAlign = v == "superscript" ? 1 : v == "subscript" ? 2 : 0;
        }
    }
    return f;
}

// The numbering part's w:num ids, each with the list of the model it became.
using ListIds = std::map<std::string, int>;

void readParagraphProperties(pugi::xml_node pr, ParaFormat& f,
                             const std::map<std::string, int>& styleIds,
                             const ListIds* listIds = nullptr) {
    for (pugi::xml_node n : pr.children()) {
        const std::string_view name = n.name();
        if (name == "w:pStyle") {
            const auto it = styleIds.find(n.attribute("w:val").value());
            if (it != styleIds.end()) f.style = it->second;
        } else if (name == "w:keepNext") {
            f.keepWithNext = onOff(n);
        } else if (name == "w:pageBreakBefore") {
            f.pageBreakBefore = onOff(n);
        } else if (name == "w:numPr" && listIds) {
            // numId 0, or one the numbering part does not hold, leaves the paragraph out of lists.
            const auto it = listIds->find(n.child("w:numId").attribute("w:val").value());
            f.list = it != listIds->end() ? it->second : 0;
            f.listLevel = f.list == 0 ? 0
                                      : std::clamp(n.child("w:ilvl").attribute("w:val").as_int(), 0,
                                                   kListLevels - 1);
        } else if (name == "w:shd") {
            const std::string_view fill = n.attribute("w:fill").value();
            if (fill != "auto")
                if (auto c = parseColor(fill)) f.shading = c;
        } else if (name == "w:spacing") {
            if (n.attribute("w:before")) f.spaceBefore = fromTwips(attrNumber(n, "w:before"));
            if (n.attribute("w:after")) f.spaceAfter = fromTwips(attrNumber(n, "w:after"));
            if (n.attribute("w:line")) {
                const std::string_view rule = n.attribute("w:lineRule").value();
                const double line = attrNumber(n, "w:line");
                f.lineSpacingRule = rule == "atLeast" ? 3 : rule == "exact" ? 4 : 5;
                f.lineSpacing = *f.lineSpacingRule == 5 ? line / 20 : fromTwips(line);
            }
        } else if (name == "w:tabs") {
            for (pugi::xml_node tab : n.children("w:tab"))
                if (std::string_view(tab.attribute("w:val").value()) == "right")
                    f.rightTab = fromTwips(attrNumber(tab, "w:pos"));
        } else if (name == "w:pBdr") {
            if (pugi::xml_node bottom = n.child("w:bottom");
                bottom && std::string_view(bottom.attribute("w:val").value()) != "none" &&
                std::string_view(bottom.attribute("w:val").value()) != "nil")
                f.bottomBorder = attrNumber(bottom, "w:sz") / 8;
        } else if (name == "w:ind") {
            const char* left = n.attribute("w:left") ? "w:left" : "w:start";
            if (n.attribute(left)) f.leftIndent = fromTwips(attrNumber(n, left));
            const char* right = n.attribute("w:right") ? "w:right" : "w:end";
            if (n.attribute(right)) f.rightIndent = fromTwips(attrNumber(n, right));
            if (n.attribute("w:firstLine"))
                f.firstLineIndent = fromTwips(attrNumber(n, "w:firstLine"));
            if (n.attribute("w:hanging"))
                f.firstLineIndent = -fromTwips(attrNumber(n, "w:hanging"));
        } else if (name == "w:jc") {
            if (auto a = parseAlignment(n.attribute("w:val").value())) f.alignment = a;
        } else if (name == "w:outlineLvl") {
            f.outlineLevel = std::clamp(n.attribute("w:val").as_int() + 1, 1, 10);
        }
    }
}

// Reads one story part (the body, a header or a footer) into a fragment.
class StoryReader {
public:
    StoryReader(const ZipReader& zip, std::string part, DocumentModel& model,
                const std::map<std::string, int>& styleIds, const ListIds& listIds, bool body)
        : m_zip(zip),
          m_part(std::move(part)),
          m_rels(readRels(zip, m_part)),
          m_model(model),
          m_styleIds(styleIds),
          m_listIds(listIds),
          m_body(body) {}

    void readBlocks(pugi::xml_node container);
    // The story read; fields whose end the part lacks are closed first (closeOpenFields).
    Fragment& fragment() {
        closeOpenFields();
        return m_out;
    }
    std::vector<pugi::xml_node>& sectionBreaks() { return m_sectionBreaks; }

private:
    void readTable(pugi::xml_node tbl);
    void readParagraph(pugi::xml_node p, bool lastInCell);
    void readInline(pugi::xml_node node, const CharFormat& format);
    void readRun(pugi::xml_node r);
    void readDrawing(pugi::xml_node drawing, const CharFormat& format);
    void readLine(pugi::xml_node line);
    std::optional<PictureData> readBlip(pugi::xml_node container, double widthEmu,
                                        double heightEmu);
    void append(std::u16string_view text, const CharFormat& format);
    void closeOpenFields();
    int pos() const { return static_cast<int>(m_out.text.size()); }

    const ZipReader& m_zip;
    std::string m_part;
    Rels m_rels;
    DocumentModel& m_model;
    const std::map<std::string, int>& m_styleIds;
    const ListIds& m_listIds;
    bool m_body;

    Fragment m_out;
    std::vector<pugi::xml_node> m_sectionBreaks;  // the sectPr of each section break, in order
    std::map<std::string, std::pair<std::u16string, int>> m_openBookmarks;
    std::vector<int> m_openFields;
    std::vector<CellRef> m_cells;
    int m_paragraphStart = 0;
};

// The text of a w:t or w:instrText as the model may hold it: control characters stand for
// structure there (paragraph and cell ends, breaks, field marks), so a package that carries them
// in its text (XML does not allow them, but a damaged or hostile one may) must not make
// structure out of them. Tabs and line feeds stay, a carriage return is a line feed as XML reads
// it, the rest go.
std::u16string plainText(std::u16string text) {
    std::replace(text.begin(), text.end(), u'\r', u'\n');
    std::erase_if(text, [](char16_t c) { return c < 0x20 && c != u'\t' && c != u'\n'; });
    return text;
}

void StoryReader::append(std::u16string_view text, const CharFormat& format) {
    m_out.append(text, format);
}

// A damaged or cut package may begin a field and never end it; the model holds only whole
// fields, so such a field ends with the story, before its last paragraph mark when it has one.
void StoryReader::closeOpenFields() {
    if (m_openFields.empty()) return;
    const bool endsWithMark =
        !m_out.text.empty() && m_out.text.back() == kParagraphMark && !m_out.runs.empty();
    CharFormat markFormat;
    if (endsWithMark) {
        markFormat = m_out.charFormat(m_out.runs.back());
        m_out.text.pop_back();
        if (--m_out.runs.back().length == 0) m_out.runs.pop_back();
    }
    while (!m_openFields.empty()) {
        append(std::u16string(1, kFieldEnd), markFormat);
        m_out.fields.push_back(Field{{m_openFields.back(), pos()}});
        m_openFields.pop_back();
    }
    if (endsWithMark) append(std::u16string(1, kParagraphMark), markFormat);
}

void StoryReader::readBlocks(pugi::xml_node container) {
    // The last paragraph of a table cell ends with the cell mark.
    pugi::xml_node lastParagraph;
    if (!m_cells.empty())
        for (pugi::xml_node n : container.children("w:p")) lastParagraph = n;
    for (pugi::xml_node n : container.children()) {
        const std::string_view name = n.name();
        if (name == "w:p") {
            readParagraph(n, n == lastParagraph);
        } else if (name == "w:tbl") {
            readTable(n);
        } else if (name == "w:sdt") {
            readBlocks(n.child("w:sdtContent"));
        } else if (name == "w:bookmarkStart" || name == "w:bookmarkEnd") {
            readInline(n, CharFormat{});
        }
    }
}

void StoryReader::readTable(pugi::xml_node tbl) {
    TableInfo table;
    pugi::xml_node pr = tbl.child("w:tblPr");
    if (pugi::xml_node jc = pr.child("w:jc"))
        table.alignment = parseAlignment(jc.attribute("w:val").value());
    pugi::xml_node top = pr.child("w:tblBorders").child("w:top");
    const std::string_view kind = top.attribute("w:val").value();
    table.borderWidth = (!top || kind == "none" || kind == "nil") ? 0 : attrNumber(top, "w:sz") / 8;
    for (pugi::xml_node col : tbl.child("w:tblGrid").children("w:gridCol"))
        table.grid.push_back(fromTwips(attrNumber(col, "w:w")));
    const int id = static_cast<int>(m_out.tables.size());
    m_out.tables.push_back(table);
    int row = 0;
    for (pugi::xml_node tr : tbl.children("w:tr")) {
        RowInfo rowInfo;
        rowInfo.header = static_cast<bool>(tr.child("w:trPr").child("w:tblHeader"));
        int column = 0;
        for (pugi::xml_node tc : tr.children("w:tc")) {
            CellInfo cell;
            pugi::xml_node tcPr = tc.child("w:tcPr");
            if (pugi::xml_node w = tcPr.child("w:tcW");
                std::string_view(w.attribute("w:type").value()) == "dxa")
                cell.width = fromTwips(attrNumber(w, "w:w"));
            if (pugi::xml_node span = tcPr.child("w:gridSpan"))
                cell.gridSpan = std::max(1, span.attribute("w:val").as_int());
            if (pugi::xml_node merge = tcPr.child("w:vMerge"))
                cell.verticalMerge =
                    std::string_view(merge.attribute("w:val").value()) == "restart" ? 1 : 2;
            if (pugi::xml_node side = tcPr.child("w:tcBorders").child("w:top")) {
                const std::string_view val = side.attribute("w:val").value();
                cell.borderWidth =
                    val == "nil" || val == "none" ? 0.0 : attrNumber(side, "w:sz") / 8;
            }
            if (pugi::xml_node shd = tcPr.child("w:shd"))
                if (std::string_view(shd.attribute("w:fill").value()) != "auto")
                    cell.shading = parseColor(shd.attribute("w:fill").value());
            rowInfo.cells.push_back(cell);
            m_cells.push_back({id, row, column});
            const int before = static_cast<int>(m_out.paragraphs.size());
            readBlocks(tc);
            if (static_cast<int>(m_out.paragraphs.size()) == before) {
                // A cell without paragraphs still holds an empty one.
                ParaFormat format;
                format.cells = m_cells;
                append(std::u16string(1, kCellMark), CharFormat{});
                m_out.addParagraph(format);
            }
            m_cells.pop_back();
            ++column;
        }
        m_out.tables[static_cast<std::size_t>(id)].rows.push_back(rowInfo);
        ++row;
    }
}

void StoryReader::readParagraph(pugi::xml_node p, bool lastInCell) {
    m_paragraphStart = pos();
    ParaFormat format;
    pugi::xml_node pr = p.child("w:pPr");
    readParagraphProperties(pr, format, m_styleIds, &m_listIds);
    format.cells = m_cells;
    CharFormat markFormat = readRunProperties(pr.child("w:rPr"), m_model, m_styleIds);
    for (pugi::xml_node n : p.children()) readInline(n, CharFormat{});
    char16_t end = kParagraphMark;
    if (lastInCell) {
        end = kCellMark;
    } else if (pugi::xml_node sect = pr.child("w:sectPr"); sect && m_body && m_cells.empty()) {
        end = kSectionBreak;
        m_sectionBreaks.push_back(sect);
    }
    append(std::u16string(1, end), markFormat);
    m_out.addParagraph(format);
}

void StoryReader::readInline(pugi::xml_node n, const CharFormat& format) {
    const std::string_view name = n.name();
    if (name == "w:r") {
        readRun(n);
    } else if (name == "w:hyperlink") {
        const int start = pos();
        for (pugi::xml_node c : n.children()) readInline(c, format);
        Hyperlink link;
        link.start = start;
        link.end = pos();
        if (const char* id = n.attribute("r:id").value(); *id) {
            const auto rel = m_rels.find(id);
            if (rel != m_rels.end()) link.address = fromUtf8(rel->second.target);
        }
        link.subAddress = fromUtf8(n.attribute("w:anchor").value());
        link.screenTip = fromUtf8(n.attribute("w:tooltip").value());
        if (link.end > link.start && (!link.address.empty() || !link.subAddress.empty()))
            m_out.hyperlinks.push_back(link);
    } else if (name == "w:bookmarkStart") {
        m_openBookmarks[n.attribute("w:id").value()] = {fromUtf8(n.attribute("w:name").value()),
                                                        pos()};
    } else if (name == "w:bookmarkEnd") {
        const auto it = m_openBookmarks.find(n.attribute("w:id").value());
        if (it == m_openBookmarks.end()) return;
        Bookmark b;
        b.name = it->second.first;
        b.start = it->second.second;
        b.end = pos();
        if (!b.name.empty()) m_out.bookmarks.push_back(b);
        m_openBookmarks.erase(it);
    } else if (name == "w:fldSimple") {
        const int start = pos();
        append(std::u16string(1, kFieldBegin) + fromUtf8(n.attribute("w:instr").value()) +
                   kFieldSeparator,
               format);
        for (pugi::xml_node c : n.children()) readInline(c, format);
        append(std::u16string(1, kFieldEnd), format);
        m_out.fields.push_back(Field{{start, pos()}});
    } else if (name == "w:smartTag" || name == "w:customXml" || name == "w:ins") {
        for (pugi::xml_node c : n.children()) readInline(c, format);
    } else if (name == "w:sdt") {
        for (pugi::xml_node c : n.child("w:sdtContent").children()) readInline(c, format);
    }
}

void StoryReader::readRun(pugi::xml_node r) {
    const CharFormat format = readRunProperties(r.child("w:rPr"), m_model, m_styleIds);
    for (pugi::xml_node n : r.children()) {
        const std::string_view name = n.name();
        if (name == "w:t" || name == "w:instrText") {
            append(plainText(fromUtf8(n.text().get())), format);
        } else if (name == "w:tab") {
            append(std::u16string(1, kTab), format);
        } else if (name == "w:br") {
            const std::string_view type = n.attribute("w:type").value();
            append(std::u16string(1, type == "page" ? kPageBreak : kLineBreak), format);
        } else if (name == "w:cr") {
            append(std::u16string(1, kLineBreak), format);
        } else if (name == "w:noBreakHyphen") {
            append(u"-", format);
        } else if (name == "w:fldChar") {
            const std::string_view type = n.attribute("w:fldCharType").value();
            if (type == "begin") {
                m_openFields.push_back(pos());
                append(std::u16string(1, kFieldBegin), format);
            } else if (type == "separate" && !m_openFields.empty()) {
                append(std::u16string(1, kFieldSeparator), format);
            } else if (type == "end" && !m_openFields.empty()) {
                append(std::u16string(1, kFieldEnd), format);
                m_out.fields.push_back(Field{{m_openFields.back(), pos()}});
                m_openFields.pop_back();
            }
        } else if (name == "w:drawing") {
            readDrawing(n, format);
        } else if (name == "w:pict") {
            if (pugi::xml_node line = n.child("v:line")) readLine(line);
        } else if (name == "mc:AlternateContent") {
            pugi::xml_node fallback = n.child("mc:Fallback");
            if (pugi::xml_node d = fallback.child("w:drawing"))
                readDrawing(d, format);
            else if (pugi::xml_node line = fallback.child("w:pict").child("v:line"))
                readLine(line);
        }
    }
}

std::optional<PictureData> StoryReader::readBlip(pugi::xml_node container, double widthEmu,
                                                 double heightEmu) {
    pugi::xml_node blip = container.select_node(".//a:blip").node();
    if (!blip) return std::nullopt;
    PictureData picture;
    picture.width = fromEmu(widthEmu);
    picture.height = fromEmu(heightEmu);
    if (const char* id = blip.attribute("r:embed").value(); *id) {
        const auto rel = m_rels.find(id);
        if (rel != m_rels.end() && !rel->second.external)
            if (auto bytes = m_zip.read(resolve(folderOf(m_part), rel->second.target)))
                if (describeImage(*bytes, picture)) {
                    picture.bytes = std::move(*bytes);
                    picture.saveWithDocument = true;
                }
    }
    if (const char* id = blip.attribute("r:link").value(); *id) {
        const auto rel = m_rels.find(id);
        if (rel != m_rels.end())
            if (auto path = pathOfFileUri(rel->second.target)) {
                picture.sourcePath = *path;
                picture.linked = true;
                if (picture.bytes.empty()) {
                    PictureData probe = picture;
                    if (storePictureBytes(probe)) {
                        picture.extension = probe.extension;
                        describeImage(probe.bytes, picture);
                    }
                }
            }
    }
    if (picture.bytes.empty() && !picture.linked) return std::nullopt;
    if (picture.naturalWidth <= 0) {
        picture.naturalWidth = picture.width;
        picture.naturalHeight = picture.height;
    }
    return picture;
}

void StoryReader::readDrawing(pugi::xml_node drawing, const CharFormat& format) {
    if (pugi::xml_node inl = drawing.child("wp:inline")) {
        pugi::xml_node extent = inl.child("wp:extent");
        auto picture = readBlip(inl, attrNumber(extent, "cx"), attrNumber(extent, "cy"));
        if (!picture) return;
        picture->altText = fromUtf8(inl.child("wp:docPr").attribute("descr").value());
        picture->lockAspectRatio = inl.child("wp:cNvGraphicFramePr")
                                       .child("a:graphicFrameLocks")
                                       .attribute("noChangeAspect")
                                       .as_bool();
        InlinePicture item;
        item.start = pos();
        item.end = item.start + 1;
        item.picture = std::move(*picture);
        append(std::u16string(1, kPictureChar), format);
        m_out.pictures.push_back(std::move(item));
    } else if (pugi::xml_node anchor = drawing.child("wp:anchor")) {
        pugi::xml_node extent = anchor.child("wp:extent");
        auto picture = readBlip(anchor, attrNumber(extent, "cx"), attrNumber(extent, "cy"));
        if (!picture) return;
        picture->altText = fromUtf8(anchor.child("wp:docPr").attribute("descr").value());
        picture->lockAspectRatio = anchor.child("wp:cNvGraphicFramePr")
                                       .child("a:graphicFrameLocks")
                                       .attribute("noChangeAspect")
                                       .as_bool();
        Shape shape;
        shape.type = picture->linked ? kShapeLinkedPicture : kShapePicture;
        shape.left =
            fromEmu(std::atof(anchor.child("wp:positionH").child("wp:posOffset").text().get()));
        shape.top =
            fromEmu(std::atof(anchor.child("wp:positionV").child("wp:posOffset").text().get()));
        shape.picture = std::move(*picture);
        shape.start = m_paragraphStart;
        shape.end = m_paragraphStart + 1;
        m_out.shapes.push_back(std::move(shape));
    }
}

// A VML point "12pt,34.5pt" in points.
std::pair<double, double> vmlPoint(std::string_view text) {
    const std::size_t comma = text.find(',');
    auto value = [](std::string_view v) {
        double d = std::atof(std::string(v).c_str());
        if (v.ends_with("in"))
            d *= 72;
        else if (v.ends_with("px"))
            d *= 0.75;
        else if (!v.ends_with("pt") && !v.empty() && v.back() >= '0' && v.back() <= '9')
            d *= 0.75;
        return d;
    };
    return {value(text.substr(0, comma)),
            comma == std::string_view::npos ? 0.0 : value(text.substr(comma + 1))};
}

void StoryReader::readLine(pugi::xml_node line) {
    const auto [x1, y1] = vmlPoint(line.attribute("from").value());
    const auto [x2, y2] = vmlPoint(line.attribute("to").value());
    Shape shape = lineShape(x1, y1, x2, y2);
    if (const char* weight = line.attribute("strokeweight").value(); *weight)
        shape.lineWeight = vmlPoint(weight).first;
    shape.start = m_paragraphStart;
    shape.end = m_paragraphStart + 1;
    m_out.shapes.push_back(shape);
}

// Moves a story fragment read from a part into `story`: all but the final paragraph mark is
// inserted; the final paragraph takes the last paragraph's formatting.
void fillStory(DocumentModel& model, Story& story, Fragment f) {
    if (f.text.empty() || f.paragraphs.empty()) return;
    const ParaFormat last = f.paragraphFormat(f.paragraphs.size() - 1);
    const CharFormat markFormat = f.charFormat(f.runs.back());
    f.paragraphs.pop_back();
    f.removeLastCharacter();
    const int length = static_cast<int>(f.text.size());
    for (Bookmark& b : f.bookmarks) {
        b.start = std::min(b.start, length);
        b.end = std::min(b.end, length);
    }
    std::erase_if(f.hyperlinks, [&](const Hyperlink& h) { return h.end > length; });
    std::erase_if(f.shapes, [&](const Shape& s) { return s.end > length + 1; });
    for (Shape& s : f.shapes)
        if (s.end > length) {  // anchored in the final paragraph: added after the insertion
            s.start = s.end = -1;
        }
    std::vector<Shape> finalShapes;
    for (const Shape& s : f.shapes)
        if (s.start < 0) finalShapes.push_back(s);
    std::erase_if(f.shapes, [](const Shape& s) { return s.start < 0; });
    model.insert(story, 0, std::move(f));
    story.formatParagraphs(story.paragraphCount() - 1, story.paragraphCount() - 1,
                           [&](ParaFormat& p) { p = last; });
    story.formatCharacters(story.length() - 1, story.length(),
                           [&](CharFormat& c) { c = markFormat; });
    const int finalStart = story.paragraphStart(story.paragraphCount() - 1);
    for (Shape s : finalShapes) {
        s.start = finalStart;
        s.end = finalStart + 1;
        story.addShape(s);
    }
}

void readStyles(const ZipReader& zip, DocumentModel& model, std::map<std::string, int>& ids) {
    StyleSheet& sheet = model.styles();
    for (int i = 0; i < sheet.count(); ++i) ids[toUtf8(sheet.at(i).id)] = i;
    const auto data = zip.read("word/styles.xml");
    pugi::xml_document doc;
    if (!data || !doc.load_buffer(data->data(), data->size(), kParseOptions)) return;
    pugi::xml_node root = doc.child("w:styles");
    if (pugi::xml_node r = root.child("w:docDefaults").child("w:rPrDefault").child("w:rPr")) {
        const CharFormat f = readRunProperties(r, model, ids);
        sheet.defaults.apply(f);
    }
    std::vector<std::pair<pugi::xml_node, int>> read;
    for (pugi::xml_node s : root.children("w:style")) {
        const std::u16string name = fromUtf8(s.child("w:name").attribute("w:val").value());
        const std::string id = s.attribute("w:styleId").value();
        const std::string_view type = s.attribute("w:type").value();
        int index = sheet.findByName(name);
        if (index < 0) {
            Style style;
            style.name = name.empty() ? fromUtf8(id) : name;
            style.id = fromUtf8(id);
            style.type = type == "character"   ? StyleType::Character
                         : type == "table"     ? StyleType::Table
                         : type == "numbering" ? StyleType::List
                                               : StyleType::Paragraph;
            index = sheet.add(std::move(style));
        }
        ids[id] = index;
        read.emplace_back(s, index);
    }
    for (const auto& [s, index] : read) {
        Style& style = sheet.at(index);
        style.font = readRunProperties(s.child("w:rPr"), model, ids);
        ParaFormat p;
        readParagraphProperties(s.child("w:pPr"), p, ids);
        p.style = 0;
        style.paragraph = p;
        const auto base = ids.find(s.child("w:basedOn").attribute("w:val").value());
        style.basedOn = base != ids.end() && base->second != index ? base->second : -1;
        const auto next = ids.find(s.child("w:next").attribute("w:val").value());
        style.next = next != ids.end() ? next->second : -1;
    }
}

Section readSection(pugi::xml_node pr, int index, const ZipReader& zip, const std::string& part,
                    const Rels& rels, DocumentModel& model,
                    const std::map<std::string, int>& styleIds, const ListIds& listIds) {
    Section s;
    if (pugi::xml_node size = pr.child("w:pgSz")) {
        s.page.pageWidth = fromTwips(attrNumber(size, "w:w"));
        s.page.pageHeight = fromTwips(attrNumber(size, "w:h"));
        s.page.paperSize = paperSizeFor(s.page.pageWidth, s.page.pageHeight);
    }
    if (pugi::xml_node m = pr.child("w:pgMar")) {
        s.page.topMargin = fromTwips(attrNumber(m, "w:top"));
        s.page.bottomMargin = fromTwips(attrNumber(m, "w:bottom"));
        s.page.leftMargin = fromTwips(attrNumber(m, "w:left"));
        s.page.rightMargin = fromTwips(attrNumber(m, "w:right"));
        s.page.headerDistance = fromTwips(attrNumber(m, "w:header"));
        s.page.footerDistance = fromTwips(attrNumber(m, "w:footer"));
    }
    s.page.lineNumbering = static_cast<bool>(pr.child("w:lnNumType"));
    if (pugi::xml_node n = pr.child("w:pgNumType"); n && n.attribute("w:start")) {
        s.restartNumbering = true;
        s.startingNumber = n.attribute("w:start").as_int();
    }
    if (pugi::xml_node t = pr.child("w:titlePg")) s.titlePage = onOff(t);
    const std::string_view type = pr.child("w:type").attribute("w:val").value();
    s.breakType = type == "continuous" ? 3 : type == "evenPage" ? 4 : type == "oddPage" ? 5 : 2;
    for (HeaderFooter& h : s.headers) h.linkToPrevious = index > 0;
    for (HeaderFooter& h : s.footers) h.linkToPrevious = index > 0;
    for (pugi::xml_node ref : pr.children()) {
        const std::string_view name = ref.name();
        const bool footer = name == "w:footerReference";
        if (!footer && name != "w:headerReference") continue;
        const std::string_view kind = ref.attribute("w:type").value();
        const std::size_t slot = kind == "first" ? 1 : kind == "even" ? 2 : 0;
        const auto rel = rels.find(ref.attribute("r:id").value());
        if (rel == rels.end()) continue;
        const std::string target = resolve(folderOf(part), rel->second.target);
        const auto data = zip.read(target);
        pugi::xml_document doc;
        if (!data || !doc.load_buffer(data->data(), data->size(), kParseOptions)) continue;
        StoryReader reader(zip, target, model, styleIds, listIds, false);
        reader.readBlocks(doc.first_child());
        auto story = std::make_shared<Story>();
        fillStory(model, *story, std::move(reader.fragment()));
        HeaderFooter& h = (footer ? s.footers : s.headers)[slot];
        h.linkToPrevious = false;
        h.story = std::move(story);
    }
    return s;
}

ListLevel readListLevel(pugi::xml_node lvl) {
    ListLevel level;
    if (pugi::xml_node start = lvl.child("w:start"))
        level.start = start.attribute("w:val").as_int();
    level.style = parseNumberStyle(lvl.child("w:numFmt").attribute("w:val").value());
    level.text = fromUtf8(lvl.child("w:lvlText").attribute("w:val").value());
    pugi::xml_node ind = lvl.child("w:pPr").child("w:ind");
    const char* left = ind.attribute("w:left") ? "w:left" : "w:start";
    level.leftIndent = fromTwips(attrNumber(ind, left));
    if (ind.attribute("w:hanging"))
        level.hanging = fromTwips(attrNumber(ind, "w:hanging"));
    else if (ind.attribute("w:firstLine"))
        level.hanging = -fromTwips(attrNumber(ind, "w:firstLine"));
    return level;
}

// Reads the numbering part into the model's lists: a list for each w:num whose template is there.
ListIds readNumbering(const ZipReader& zip, const std::string& main, const Rels& rels,
                      DocumentModel& model) {
    ListIds ids;
    std::string name = resolve(folderOf(main), "numbering.xml");
    for (const auto& [id, rel] : rels)
        if (rel.type == kRelNumbering && !rel.external) name = resolve(folderOf(main), rel.target);
    const auto data = zip.read(name);
    pugi::xml_document doc;
    if (!data || !doc.load_buffer(data->data(), data->size(), kParseOptions)) return ids;
    pugi::xml_node root = doc.child("w:numbering");
    std::map<std::string, ListTemplate> templates;
    for (pugi::xml_node a : root.children("w:abstractNum")) {
        ListTemplate t;
        for (pugi::xml_node lvl : a.children("w:lvl")) {
            const int index = lvl.attribute("w:ilvl").as_int(-1);
            if (index >= 0 && index < kListLevels)
                t.levels[static_cast<std::size_t>(index)] = readListLevel(lvl);
        }
        templates[a.attribute("w:abstractNumId").value()] = t;
    }
    for (pugi::xml_node n : root.children("w:num")) {
        const auto t = templates.find(n.child("w:abstractNumId").attribute("w:val").value());
        const std::string id = n.attribute("w:numId").value();
        if (t == templates.end() || id.empty() || id == "0") continue;
        std::vector<ListStart> starts;
        for (pugi::xml_node o : n.children("w:lvlOverride")) {
            const int level = o.attribute("w:ilvl").as_int(-1);
            if (pugi::xml_node start = o.child("w:startOverride");
                start && level >= 0 && level < kListLevels)
                starts.push_back({level, start.attribute("w:val").as_int()});
        }
        ids[id] = model.lists().add(t->second, std::move(starts));
    }
    return ids;
}

}  // namespace

void readDocx(DocumentModel& model, const std::u16string& path) {
    const ZipReader zip(path);
    std::string main = "word/document.xml";
    for (const auto& [id, rel] : readRels(zip, "/.rels"))
        if (rel.type == kRelOfficeDocument) main = resolve("", rel.target);
    const auto data = zip.read(main);
    pugi::xml_document doc;
    if (!data || !doc.load_buffer(data->data(), data->size(), kParseOptions) ||
        !doc.child("w:document"))
        throw std::runtime_error("cannot open " + zip.name() + ": not a Word document");

    std::map<std::string, int> styleIds;
    readStyles(zip, model, styleIds);
    if (const auto settings = zip.read(resolve(folderOf(main), "settings.xml"))) {
        pugi::xml_document s;
        if (s.load_buffer(settings->data(), settings->size()))
            if (pugi::xml_node u = s.child("w:settings").child("w:updateFields"))
                model.updateFieldsOnOpen = onOff(u);
    }

    const Rels rels = readRels(zip, main);
    const ListIds listIds = readNumbering(zip, main, rels, model);
    pugi::xml_node body = doc.child("w:document").child("w:body");
    StoryReader reader(zip, main, model, styleIds, listIds, true);
    reader.readBlocks(body);
    std::vector<Section> sections;
    for (pugi::xml_node pr : reader.sectionBreaks())
        sections.push_back(readSection(pr, static_cast<int>(sections.size()), zip, main, rels,
                                       model, styleIds, listIds));
    sections.push_back(readSection(body.child("w:sectPr"), static_cast<int>(sections.size()), zip,
                                   main, rels, model, styleIds, listIds));
    fillStory(model, model.body(), std::move(reader.fragment()));
    model.sections() = std::move(sections);
}

}  // namespace quillet::engine
