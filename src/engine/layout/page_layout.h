// The pages of a document as a word processor sets them: paragraphs broken into lines with
// measured text, table rows with their cells side by side, page and section breaks, spacing,
// pictures at their size, headings kept with what follows. It gives the page of every body
// position, which the fields that show page numbers need. Floating shapes take no room, and the
// headers and footers are taken to fit their margins.
#pragma once

#include "engine/document_model.h"
#include "engine/fonts/text_measure.h"

#include <vector>

namespace quillet::engine::layout {

// One line of body text: the body positions it holds and where it stands.
struct LineBox {
    int start = 0;   // the body position of its first character
    int end = 0;     // just after its last, its paragraph's mark included on the last line
    int page = 0;    // the page (counted from 0) it stands on
    double top = 0;  // points from the top of the page's text area
    double height = 0;
};

struct LaidOutPage {
    int section = 0;  // the section (counted from 0) the page belongs to
    int number = 1;   // the number its footer shows
};

class PageLayout {
public:
    // Lays out the body of `model`, measuring its text with `measure`.
    PageLayout(const DocumentModel& model, fonts::TextMeasure& measure);

    const std::vector<LaidOutPage>& pages() const { return m_pages; }
    // The lines in body order.
    const std::vector<LineBox>& lines() const { return m_lines; }
    // The page (counted from 0) that body position `pos` shows on; positions past the end are on
    // the last page.
    int pageAt(int pos) const;
    // The number shown on that page.
    int numberAt(int pos) const { return m_pages[static_cast<std::size_t>(pageAt(pos))].number; }

private:
    friend class Paginator;
    std::vector<LaidOutPage> m_pages;
    std::vector<LineBox> m_lines;
};

// The numbers shown on the pages of `positions`, laid out with the system's fonts.
std::vector<int> layoutPageNumbers(const DocumentModel& model, const std::vector<int>& positions);

// Makes layoutPageNumbers the engine's page numbering (engine/page_numbers.h).
void registerPageLayout();

}  // namespace quillet::engine::layout
