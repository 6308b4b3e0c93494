// One document of the engine: the body story with its sections, the header and footer stories,
// the style sheet, the lists and the document settings that are saved with it. Edits go through
// here so that section breaks, styles and tables stay consistent across stories; the automation
// objects and the readers and writers work on this model and nothing else.
#pragma once

#include "engine/fragment.h"
#include "engine/lists.h"
#include "engine/section.h"
#include "engine/story.h"
#include "engine/styles.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillet::engine {

class DocumentModel {
public:
    // A new document: one empty paragraph in the Normal style, one section.
    DocumentModel();
    DocumentModel(const DocumentModel&) = delete;
    DocumentModel& operator=(const DocumentModel&) = delete;

    Story& body() { return *m_body; }
    const Story& body() const { return *m_body; }
    const std::shared_ptr<Story>& bodyStory() const { return m_body; }
    StyleSheet& styles() { return m_styles; }
    const StyleSheet& styles() const { return m_styles; }
    // The lists that paragraphs name (ParaFormat::list) and their templates.
    ListTable& lists() { return m_lists; }
    const ListTable& lists() const { return m_lists; }
    std::vector<Section>& sections() { return m_sections; }
    const std::vector<Section>& sections() const { return m_sections; }

    // The section that holds body position `pos` (a section break belongs to the section it ends).
    int sectionAt(int pos) const;
    // The body positions [start, end) of a section, its break included.
    std::pair<int, int> sectionRange(int index) const;

    // Inserts `content` into `story` at `pos` (before the story's final mark): its styles are
    // mapped into this document by name (styles missing here are added), each of its lists
    // becomes a new list here, and in the body each section break splits the section it falls in.
    void insert(Story& story, int pos, Fragment content);
    // Inserts plain text at `pos`, formatted as the character before it in its paragraph (without
    // a character style), or unformatted at the start of a paragraph. Paragraph marks in it take
    // the formatting of the paragraph they split.
    void insertText(Story& story, int pos, std::u16string_view text);
    // Removes [from, to) of `story` (see Story::remove); section breaks removed merge sections.
    std::pair<int, int> remove(Story& story, int from, int to);
    // A copy of [from, to) with this document's style sheet, the lists its paragraphs name and
    // the sections its breaks end.
    Fragment copy(const Story& story, int from, int to) const;

    // The header or footer `index` (1 primary, 2 first page, 3 even pages) of section `section`.
    HeaderFooter& headerFooter(int section, bool footer, int index);
    // The story shown there: a linked header shows the previous section's. Created empty when
    // the first section has none yet.
    const std::shared_ptr<Story>& shownStory(int section, bool footer, int index);
    // Links or unlinks a header or footer; unlinking gives it a copy of what it showed. The first
    // section's never link.
    void setLinkToPrevious(int section, bool footer, int index, bool link);

    // An empty text when the document is consistent, else what is wrong first (checked: every
    // story's invariants, one section per section break, headers of the first section unlinked,
    // styles and lists of the body's paragraphs known).
    std::string checkInvariants() const;

    // Document settings saved with it.
    bool updateFieldsOnOpen = false;  // ask Word to update fields when it opens the file
    bool allowPng = false;            // web options
    int targetBrowser = 0;
    bool showHiddenBookmarks = false;

private:
    int mapStyle(const StyleSheet& from, int index);
    void splitSections(int section, int breaks, const std::vector<Section>& given);

    std::shared_ptr<Story> m_body;
    StyleSheet m_styles;
    ListTable m_lists;
    std::vector<Section> m_sections;
};

// A new story with the same content as `story`.
std::shared_ptr<Story> cloneStory(const Story& story);

}  // namespace quillet::engine
