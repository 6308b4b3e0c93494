#include "engine/page_estimate.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <unordered_map>

namespace quillet::engine {

namespace {

// Single line spacing, in font sizes: what common text fonts (Times New Roman, Calibri, Verdana,
// SimSun) give, within a tenth.
constexpr double kLineHeight = 1.17;
// The average advance of a character of proportional Latin, Cyrillic or Greek text, in font
// sizes; ideographs and other wide characters take a whole size.
constexpr double kNarrowWidth = 0.5;
constexpr double kWideWidth = 1.0;
// ... and of a fixed-pitch font (Courier New, Consolas, DejaVu Sans Mono, Lucida Console).
constexpr double kFixedWidth = 0.6;
// What a table row adds to its fullest cell: the cell margins and the borders.
constexpr double kRowPadding = 2.0;
// The narrowest measure a paragraph is given, whatever its indents say.
constexpr double kNarrowestMeasure = 36.0;

bool isFixedPitch(const std::optional<std::u16string>& font) {
    if (!font) return false;
    for (std::u16string_view name : {u"Courier", u"Consolas", u"Mono", u"Console", u"Fixedsys"})
        if (font->find(name) != std::u16string::npos) return true;
    return false;
}

class Paginator {
public:
    explicit Paginator(const DocumentModel& model) : m_model(model), m_body(model.body()) {
        for (const auto& p : m_body.pictures()) m_pictureHeights[p->start] = p->picture.height;
    }

    // The number shown on the page where each paragraph starts, by paragraph index.
    std::vector<int> run() {
        std::vector<int> pages(static_cast<std::size_t>(m_body.paragraphCount()), 1);
        startSection(0, true);
        for (int i = 0; i < m_body.paragraphCount(); ++i) {
            const std::span<const CellRef> cells = m_body.paragraphCells(i);
            if (cells.empty() || cells[0].table != m_rowTable || cells[0].row != m_row) placeRow();
            const ParaFormat direct = m_body.paragraphFormat(i);
            const ParaFormat style = m_model.styles().resolvedParagraph(direct.style);
            const auto value = [&](std::optional<double> ParaFormat::*field) {
                return (direct.*field).value_or((style.*field).value_or(0.0));
            };
            double measure = m_textWidth;
            if (!cells.empty()) {
                const auto& tables = m_body.tables();
                const auto table = static_cast<std::size_t>(cells[0].table);
                if (table < tables.size() && !tables[table].grid.empty()) {
                    const auto& grid = tables[table].grid;
                    const auto column = static_cast<std::size_t>(cells[0].column);
                    measure = column < grid.size() ? grid[column] : m_textWidth / grid.size();
                }
            }
            measure =
                std::max(measure - value(&ParaFormat::leftIndent) - value(&ParaFormat::rightIndent),
                         kNarrowestMeasure);
            const double before = value(&ParaFormat::spaceBefore);
            const double after = value(&ParaFormat::spaceAfter);
            const std::vector<double> parts = measureParagraph(i, direct.style, measure);

            if (cells.empty()) {
                const bool breakBefore =
                    direct.pageBreakBefore.value_or(style.pageBreakBefore.value_or(false));
                if (m_used > 0 && (breakBefore || m_used + before + m_firstLine > m_textHeight))
                    newPage();
                advance(before);
                for (std::size_t k = 0; k < parts.size(); ++k) {
                    if (k > 0) newPage();  // a page break inside the paragraph
                    // The paragraph shows where its text does, after the page breaks before it.
                    if (k == m_firstText) pages[static_cast<std::size_t>(i)] = m_shown;
                    advance(parts[k]);
                }
                advance(after);
            } else {
                m_rowTable = cells[0].table;
                m_row = cells[0].row;
                double height = before + after;
                for (double part : parts) height += part;
                m_cellHeights[cells[0].column] += height;
                pages[static_cast<std::size_t>(i)] = m_shown;
            }
            const int mark = m_body.paragraphEnd(i) - 1;
            if (m_body.text()[static_cast<std::size_t>(mark)] == kSectionBreak) {
                placeRow();
                startSection(m_model.sectionAt(mark) + 1, false);
            }
        }
        return pages;
    }

private:
    void startSection(int index, bool first) {
        const auto& sections = m_model.sections();
        if (index < 0 || index >= static_cast<int>(sections.size())) return;
        const Section& s = sections[static_cast<std::size_t>(index)];
        m_textHeight = std::max(s.page.pageHeight - s.page.topMargin - s.page.bottomMargin, 72.0);
        m_textWidth = std::max(s.page.pageWidth - s.page.leftMargin - s.page.rightMargin, 72.0);
        const bool continuous = s.breakType == 3;
        if (!first && !continuous) newPage();
        if (s.restartNumbering) m_shown = s.startingNumber;
    }

    void newPage() {
        ++m_shown;
        m_used = 0;
    }

    // Adds `height` points of text, going on to the next pages while it does not fit.
    void advance(double height) {
        m_used += height;
        while (m_used > m_textHeight) {
            m_used -= m_textHeight;
            ++m_shown;
        }
    }

    // Places the table row gathered so far, on the next page when it does not fit on this one.
    void placeRow() {
        if (m_cellHeights.empty()) return;
        double height = 0;
        for (const auto& [column, cell] : m_cellHeights) height = std::max(height, cell);
        height += kRowPadding;
        if (m_used > 0 && m_used + height > m_textHeight) newPage();
        advance(height);
        m_cellHeights.clear();
        m_rowTable = m_row = -1;
    }

    // The heights of the paragraph's text, one per stretch between page breaks; sets m_firstLine
    // to the height of its first line and m_firstText to the stretch its text starts in.
    std::vector<double> measureParagraph(int index, int style, double measure) {
        const CharFormat styleFont = m_model.styles().resolvedFont(style);
        const double styleSize = styleFont.size.value_or(12.0);
        const int start = m_body.paragraphStart(index);
        const int mark = m_body.paragraphEnd(index) - 1;
        std::vector<double> parts;
        double width = 0, largest = 0, pictures = 0;
        m_firstText = std::string::npos;
        auto finish = [&] {
            if (largest == 0) largest = m_body.charFormat(mark).size.value_or(styleSize);
            const double line = largest * kLineHeight;
            if (parts.empty()) m_firstLine = line;
            const double lines = std::max(1.0, std::ceil(width / measure));
            if (m_firstText == std::string::npos && (width > 0 || pictures > 0))
                m_firstText = parts.size();
            parts.push_back(lines * line + pictures);
            width = largest = pictures = 0;
        };
        std::vector<bool> inCode;  // per open field: still in its code
        FormatRun run{start, start, 0};
        double size = styleSize, narrow = kNarrowWidth;
        for (int pos = start; pos < mark; ++pos) {
            if (pos >= run.end) {
                run = m_body.formatRunAt(pos);
                const CharFormat& f = m_body.charFormat(pos);
                size = f.size.value_or(styleSize);
                narrow =
                    isFixedPitch(f.font ? f.font : styleFont.font) ? kFixedWidth : kNarrowWidth;
            }
            const char16_t c = m_body.text()[static_cast<std::size_t>(pos)];
            if (c == kFieldBegin) {
                inCode.push_back(true);
            } else if (c == kFieldSeparator) {
                if (!inCode.empty()) inCode.back() = false;
            } else if (c == kFieldEnd) {
                if (!inCode.empty()) inCode.pop_back();
            } else if (std::find(inCode.begin(), inCode.end(), true) != inCode.end()) {
                continue;
            } else if (c == kPageBreak) {
                finish();
            } else if (c == kPictureChar) {
                const auto found = m_pictureHeights.find(pos);
                if (found != m_pictureHeights.end()) pictures += found->second;
            } else if (c == kLineBreak) {
                width = std::ceil(width / measure) * measure;  // the rest of the line stays empty
            } else {
                largest = std::max(largest, size);
                width += size * (isWideCharacter(c) ? kWideWidth : narrow);
            }
        }
        finish();
        if (m_firstText == std::string::npos) m_firstText = 0;
        return parts;
    }

    const DocumentModel& m_model;
    const Story& m_body;
    std::unordered_map<int, double> m_pictureHeights;  // by position
    double m_textHeight = 648, m_textWidth = 432;      // points, of the current section
    double m_used = 0;                                 // points of the current page filled
    double m_firstLine = 0;           // the height of the first line of the paragraph measured last
    std::size_t m_firstText = 0;      // ... and the stretch between page breaks its text starts in
    int m_shown = 1;                  // the number the current page shows
    int m_rowTable = -1, m_row = -1;  // the table row being gathered
    std::map<int, double> m_cellHeights;  // its cells' heights, by column
};

}  // namespace

bool isWideCharacter(char16_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6);
}

std::vector<int> estimatePageNumbers(const DocumentModel& model,
                                     const std::vector<int>& positions) {
    const Story& body = model.body();
    const std::vector<int> pages = Paginator(model).run();
    std::vector<int> out;
    out.reserve(positions.size());
    for (int pos : positions) {
        int index = body.paragraphCount() - 1;
        if (pos >= 0 && pos < body.length()) index = body.paragraphAt(pos);
        out.push_back(index >= 0 ? pages[static_cast<std::size_t>(index)] : 1);
    }
    return out;
}

}  // namespace quillet::engine
