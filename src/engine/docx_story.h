// Writes one story of the document (the body, a header or a footer) into a part of the .docx
// package: paragraphs and tables, runs of text, fields, tabs and breaks, hyperlinks, bookmarks,
// inline pictures and anchored shapes. Internal to the writer.
#pragma once

#include "engine/story.h"
#include "engine/xml_stream.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quillet::engine::docx {

class PackageWriter;
struct Part;

class StoryWriter {
public:
    // Writes into `xml`, the part `part` of `package`. Only the body (`body`) has section breaks.
    StoryWriter(PackageWriter& package, Part& part, XmlWriter& xml, const Story& story, bool body);

    // Writes every paragraph of the story, tables as tables.
    void writeAll() { writeBlocks(0, m_story.paragraphCount() - 1, 0); }

private:
    // Writes the paragraphs [first, last], tables at `depth` and deeper as tables.
    void writeBlocks(int first, int last, std::size_t depth);
    void writeTable(int first, int last, std::size_t depth);
    void writeParagraph(int index);
    // The paragraph's w:pPr; with `section`, the section properties of the section it ends.
    void writeParagraphProperties(int index, bool section);
    void writeBookmarks(int pos);
    // Starts a run with the character formatting at `pos`; the caller ends it.
    void openRun(int pos);
    // Writes the text gathered so far as one run.
    void flush();
    void emitSpecial(char16_t c, int pos);
    void emitPicture(const InlinePicture& picture, int pos);
    void emitShape(const Shape& shape);
    void openHyperlink(const Hyperlink& link);
    void closeHyperlink();
    const Hyperlink* linkAt(int pos, bool startingOnly) const;

    PackageWriter& m_package;
    Part& m_part;
    XmlWriter& m_xml;
    const Story& m_story;
    bool m_body;
    std::multimap<int, const Bookmark*> m_bookmarkStarts, m_bookmarkEnds;
    std::multimap<int, const Shape*> m_shapes;
    std::map<int, const InlinePicture*> m_pictures;
    std::map<const Bookmark*, int> m_bookmarkIds;
    std::vector<bool> m_fieldInCode;  // per open field: still in its code
    std::vector<int> m_linkMaxEnd;    // per hyperlink (by start): the furthest end up to it

    const Hyperlink* m_link = nullptr;  // the hyperlink open in the paragraph, if any
    std::u16string m_pending;           // text of the run being gathered
    std::uint32_t m_pendingFormat = 0;
    bool m_pendingCode = false;
    int m_pendingPos = 0;
};

}  // namespace quillet::engine::docx
