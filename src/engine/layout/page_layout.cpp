#include "engine/layout/page_layout.h"

#include "engine/fonts/font_names.h"
#include "engine/page_numbers.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>

namespace quillet::engine::layout {

namespace {

// A cell's text keeps this far from its left and right edges (Word's default cell margins).
constexpr double kCellMargin = 5.4;
// The default tab stops stand this far apart.
constexpr double kTabStop = 36;
// The narrowest measure a paragraph is given, whatever its indents say.
constexpr double kNarrowestMeasure = 18;
// What heights may pass a page's bottom by and still fit: sums of measured heights carry
// rounding errors far below a printer's dot.
constexpr double kSlack = 0.01;

// A paragraph's lines before they are placed on pages: tops from the paragraph's own top.
struct Line {
    int start = 0;
    int end = 0;
    double top = 0;
    double height = 0;
    bool pageBreakBefore = false;  // a page break character ends the line before it
};

// What a paragraph or a table row takes: its lines, tops from its own top, and how tall it is.
struct Block {
    std::vector<Line> lines;
    double height = 0;

    void append(const Block& below, double offset) {
        for (Line line : below.lines) {
            line.top += offset;
            lines.push_back(line);
        }
    }
};

// A paragraph laid out at a width, with what pagination needs to know of it.
struct ParagraphBox {
    Block block;
    double before = 0;
    double after = 0;
    bool pageBreakBefore = false;
    bool keepWithNext = false;
    bool endsSection = false;
};

// A piece of a paragraph in one formatting, as text to break into lines.
struct Run {
    std::size_t from = 0;  // into the paragraph's visible text
    std::size_t to = 0;
    fonts::FontRequest font;
    double lineHeight = 0;          // of a line of its Latin text
    double eastAsiaLineHeight = 0;  // of a line of its Chinese, Japanese or Korean text
};

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\u3000' || c == u'\u00A0';
}

class ParagraphLayouter {
public:
    ParagraphLayouter(const DocumentModel& model, fonts::TextMeasure& measure)
        : m_model(model), m_body(model.body()), m_measure(measure) {
        for (const auto& p : m_body.pictures())
            m_pictures[p->start] = {p->picture.width, p->picture.height};
    }

    ParagraphBox layOut(int index, double width) {
        const ParaFormat direct = m_body.paragraphFormat(index);
        const ParaFormat& style = styleParagraph(direct.style);
        const auto value = [&](std::optional<double> ParaFormat::*field) {
            return (direct.*field).value_or((style.*field).value_or(0.0));
        };
        ParagraphBox box;
        box.before = value(&ParaFormat::spaceBefore);
        box.after = value(&ParaFormat::spaceAfter);
        box.pageBreakBefore =
            direct.pageBreakBefore.value_or(style.pageBreakBefore.value_or(false));
        box.keepWithNext = direct.keepWithNext.value_or(style.keepWithNext.value_or(false));
        const double left = value(&ParaFormat::leftIndent);
        const double right = value(&ParaFormat::rightIndent);
        const double firstLine = value(&ParaFormat::firstLineIndent);
        const double measure = std::max(width - left - right, kNarrowestMeasure);
        const double firstMeasure = std::max(measure - firstLine, kNarrowestMeasure);
        const std::optional<double> rightTab = direct.rightTab ? direct.rightTab : style.rightTab;
        const int spacingRule = direct.lineSpacingRule.value_or(style.lineSpacingRule.value_or(0));
        const double spacing = value(&ParaFormat::lineSpacing);

        gather(index, direct.style);
        const int mark = m_body.paragraphEnd(index) - 1;
        box.endsSection = m_body.text()[static_cast<std::size_t>(mark)] == kSectionBreak;

        const auto lineHeight = [&](double natural) {
            switch (spacingRule) {
                case 1:
                    return natural * 1.5;
                case 2:
                    return natural * 2;
                case 3:
                    return std::max(natural, spacing);
                case 4:
                    return spacing > 0 ? spacing : natural;
                case 5:
                    return spacing > 0 ? natural * spacing / 12 : natural;
                default:
                    return natural;
            }
        };

        // Greedy filling: each piece between break opportunities goes on the line while it fits.
        Block& block = box.block;
        double top = 0;
        std::size_t lineFrom = 0;
        double x = 0, tallest = 0, pictureHeight = 0;
        bool breakBefore = false;
        const auto finishLine = [&](std::size_t to) {
            double height = tallest > 0 ? tallest : m_markHeight;
            height = std::max(lineHeight(height), pictureHeight);
            Line line;
            // The first line holds the paragraph's start, hidden field codes and all.
            line.start = block.lines.empty()             ? m_body.paragraphStart(index)
                         : lineFrom < m_positions.size() ? m_positions[lineFrom]
                                                         : mark;
            line.end = to < m_positions.size() ? m_positions[to] : mark + 1;
            line.top = top;
            line.height = height;
            line.pageBreakBefore = breakBefore;
            block.lines.push_back(line);
            top += height;
            lineFrom = to;
            x = tallest = pictureHeight = 0;
            breakBefore = false;
        };
        const auto available = [&] { return block.lines.empty() ? firstMeasure : measure; };
        // Where the line's text begins, from the left edge of the text area: tab stops count
        // from there.
        const auto indent = [&] { return block.lines.empty() ? left + firstLine : left; };

        std::vector<std::size_t> mandatory;
        const std::vector<std::size_t> breaks =
            m_text.empty() ? std::vector<std::size_t>{}
                           : fonts::lineBreaks(m_breakText, m_language, &mandatory);
        std::size_t nextMandatory = 0;
        std::size_t from = 0;
        // Page breaks before any of the paragraph's text move all of it to the next page, its
        // start included, as readers show a heading after a page break.
        while (from < m_text.size() && m_text[from] == kPageBreak) ++from;
        if (from > 0) box.pageBreakBefore = true;
        lineFrom = from;
        bool markLine = false;  // a break ends the text: the mark stands on a line of its own
        for (const std::size_t to : breaks) {
            if (to <= from) continue;
            Piece piece = measurePiece(from, to, indent() + x, rightTab);
            if (x > 0 && x + piece.width > available() + kSlack) finishLine(from);
            if (piece.width > available() + kSlack && x == 0) {
                // Wider than a whole line: broken between characters, as word processors do.
                std::size_t at = from;
                while (at < to) {
                    const Piece one = measurePiece(at, at + 1, indent() + x, rightTab);
                    if (x > 0 && x + one.width > available() + kSlack) finishLine(at);
                    x += one.width + one.trailing;
                    tallest = std::max(tallest, one.tallest);
                    pictureHeight = std::max(pictureHeight, one.picture);
                    ++at;
                }
            } else {
                x += piece.width + piece.trailing;
                tallest = std::max(tallest, piece.tallest);
                pictureHeight = std::max(pictureHeight, piece.picture);
            }
            while (nextMandatory < mandatory.size() && mandatory[nextMandatory] < to)
                ++nextMandatory;
            if (nextMandatory < mandatory.size() && mandatory[nextMandatory] == to) {
                const bool pageBreak = m_text[to - 1] == kPageBreak;
                finishLine(to);
                breakBefore = pageBreak;
                markLine = to == m_text.size();
            }
            from = to;
        }
        if (block.lines.empty() || lineFrom < m_text.size() || markLine) finishLine(m_text.size());
        block.lines.back().end = mark + 1;
        block.height = top;
        return box;
    }

private:
    struct Piece {
        double width = 0;     // without the spaces it ends in
        double trailing = 0;  // those spaces
        double tallest = 0;   // the tallest line height of its fonts
        double picture = 0;   // the tallest picture in it
    };

    const ParaFormat& styleParagraph(int style) {
        auto found = m_styleParagraphs.find(style);
        if (found == m_styleParagraphs.end())
            found =
                m_styleParagraphs.emplace(style, m_model.styles().resolvedParagraph(style)).first;
        return found->second;
    }

    const CharFormat& styleFont(int style) {
        auto found = m_styleFonts.find(style);
        if (found == m_styleFonts.end())
            found = m_styleFonts.emplace(style, m_model.styles().resolvedFont(style)).first;
        return found->second;
    }

    fonts::FontRequest request(const CharFormat& direct, int paragraphStyle) {
        CharFormat f = styleFont(paragraphStyle);
        if (!direct.charStyle.empty()) {
            const int charStyle = m_model.styles().findByName(direct.charStyle);
            if (charStyle >= 0) f.apply(m_model.styles().at(charStyle).font);
        }
        f.apply(direct);
        fonts::FontRequest r;
        r.family = f.font.value_or(u"Times New Roman");
        r.eastAsiaFamily = f.eastAsiaFont.value_or(std::u16string());
        r.language = f.eastAsiaLanguage ? *f.eastAsiaLanguage : f.language.value_or(u"");
        r.size = f.size.value_or(12.0);
        if (f.verticalAlign.value_or(0) != 0) r.size *= 0.65;
        r.bold = f.bold.value_or(false);
        r.italic = f.italic.value_or(false);
        return r;
    }

    // The heights of a single-spaced line of the font's Latin and of its East Asian text.
    std::pair<double, double> lineHeightsOf(const fonts::FontRequest& font) {
        auto found = m_lineHeights.find(font);
        if (found == m_lineHeights.end())
            found = m_lineHeights
                        .emplace(font, std::pair{m_measure.metrics(font).height(),
                                                 m_measure.eastAsiaMetrics(font).height()})
                        .first;
        return found->second;
    }

    // The paragraph's visible text: field codes and hidden text left out, a picture as one
    // object character, with the body position of each character and its runs.
    void gather(int index, int style) {
        m_text.clear();
        m_breakText.clear();
        m_positions.clear();
        m_runs.clear();
        const int start = m_body.paragraphStart(index);
        const int mark = m_body.paragraphEnd(index) - 1;
        m_markHeight = lineHeightsOf(request(m_body.charFormat(mark), style)).first;
        m_language.clear();
        int inCode = 0;  // open fields still in their code
        std::vector<bool> codes;
        FormatRun run{start, start, 0};
        bool hidden = false;
        for (int pos = start; pos < mark; ++pos) {
            if (pos >= run.end) {
                run = m_body.formatRunAt(pos);
                const CharFormat& f = m_body.charFormat(pos);
                hidden = f.hidden.value_or(false);
                const fonts::FontRequest font = request(f, style);
                if (m_language.empty()) m_language = font.language;
                const auto [latin, eastAsia] = lineHeightsOf(font);
                m_runs.push_back(Run{m_text.size(), m_text.size(), font, latin, eastAsia});
            }
            const char16_t c = m_body.text()[static_cast<std::size_t>(pos)];
            if (c == kFieldBegin) {
                codes.push_back(true);
                ++inCode;
                continue;
            }
            if (c == kFieldSeparator || c == kFieldEnd) {
                if (!codes.empty()) {
                    if (codes.back()) --inCode;
                    if (c == kFieldSeparator)
                        codes.back() = false;
                    else
                        codes.pop_back();
                }
                continue;
            }
            if (inCode > 0 || hidden) continue;
            m_text.push_back(c);
            // The breaking rules see a picture as an object and a page break as a line's end.
            m_breakText.push_back(c == kPictureChar ? u'\uFFFC' : c == kPageBreak ? u'\n' : c);
            m_positions.push_back(pos);
            m_runs.back().to = m_text.size();
        }
        std::erase_if(m_runs, [](const Run& r) { return r.from == r.to; });
    }

    // Measures the text [from, to) standing `x` from the left edge of the text area.
    Piece measurePiece(std::size_t from, std::size_t to, double x, std::optional<double> rightTab) {
        Piece piece;
        auto run = std::upper_bound(m_runs.begin(), m_runs.end(), from,
                                    [](std::size_t at, const Run& r) { return at < r.to; });
        std::size_t end = to;
        while (end > from && (isSpace(m_text[end - 1]) || m_text[end - 1] == kLineBreak ||
                              m_text[end - 1] == kPageBreak))
            --end;
        for (std::size_t at = from; at < to && run != m_runs.end();) {
            const std::size_t stop = std::min(to, run->to);
            const bool eastAsian = std::any_of(m_text.begin() + static_cast<std::ptrdiff_t>(at),
                                               m_text.begin() + static_cast<std::ptrdiff_t>(stop),
                                               [](char16_t c) { return fonts::isEastAsian(c); });
            piece.tallest = std::max(piece.tallest,
                                     eastAsian ? std::max(run->lineHeight, run->eastAsiaLineHeight)
                                               : run->lineHeight);
            std::size_t textFrom = at;
            const auto flushText = [&](std::size_t until) {
                if (until <= textFrom) return;
                const std::size_t visibleEnd = std::min(until, end);
                if (visibleEnd > textFrom)
                    piece.width += m_measure.width(
                        std::u16string_view(m_text).substr(textFrom, visibleEnd - textFrom),
                        run->font);
                if (until > visibleEnd) {
                    const std::size_t spaceFrom = std::max(textFrom, visibleEnd);
                    piece.trailing += m_measure.width(
                        std::u16string_view(m_text).substr(spaceFrom, until - spaceFrom),
                        run->font);
                }
            };
            for (; at < stop; ++at) {
                const char16_t c = m_text[at];
                if (c != kPictureChar && c != kTab && c != kLineBreak && c != kPageBreak) continue;
                flushText(at);
                textFrom = at + 1;
                if (c == kPictureChar) {
                    const auto found = m_pictures.find(m_positions[at]);
                    if (found != m_pictures.end()) {
                        piece.width += found->second.first;
                        piece.picture = std::max(piece.picture, found->second.second);
                    }
                } else if (c == kTab) {
                    const double here = x + piece.width;
                    double stopAt = (std::floor(here / kTabStop) + 1) * kTabStop;
                    if (rightTab && here < *rightTab) stopAt = *rightTab - restWidth(at + 1);
                    piece.width += std::max(0.0, stopAt - here);
                }
            }
            flushText(stop);
            if (stop == run->to) ++run;
        }
        return piece;
    }

    // The width of the text after a tab up to the paragraph's end: what a right tab stop aligns.
    double restWidth(std::size_t from) {
        double width = 0;
        auto run = std::upper_bound(m_runs.begin(), m_runs.end(), from,
                                    [](std::size_t at, const Run& r) { return at < r.to; });
        for (std::size_t at = from; at < m_text.size() && run != m_runs.end(); ++run) {
            const std::size_t stop = run->to;
            width += m_measure.width(std::u16string_view(m_text).substr(at, stop - at), run->font);
            at = stop;
        }
        return width;
    }

    const DocumentModel& m_model;
    const Story& m_body;
    fonts::TextMeasure& m_measure;
    std::unordered_map<int, std::pair<double, double>> m_pictures;  // width, height by position
    std::unordered_map<int, ParaFormat> m_styleParagraphs;
    std::unordered_map<int, CharFormat> m_styleFonts;
    std::unordered_map<fonts::FontRequest, std::pair<double, double>> m_lineHeights;
    // The paragraph being laid out.
    std::u16string m_text;
    std::u16string m_breakText;
    std::vector<int> m_positions;
    std::vector<Run> m_runs;
    std::u16string m_language;
    double m_markHeight = 0;
};

}  // namespace

// Places paragraphs and table rows on pages, section by section.
class Paginator {
public:
    Paginator(const DocumentModel& model, fonts::TextMeasure& measure, PageLayout& out)
        : m_model(model), m_body(model.body()), m_paragraphs(model, measure), m_out(out) {}

    void run() {
        startSection(0, true);
        const int count = m_body.paragraphCount();
        std::optional<ParagraphBox> pending;  // a paragraph kept with the next one's first line
        int index = 0;
        while (index < count) {
            if (!m_body.paragraphCells(index).empty()) {
                const int end = tableEnd(index, 0);
                placeTable(index, end);
                index = end;
                continue;
            }
            ParagraphBox box = m_paragraphs.layOut(index, m_textWidth);
            placeParagraph(box, index + 1 < count ? nextFirstLine(index + 1) : 0);
            if (box.endsSection)
                startSection(m_model.sectionAt(m_body.paragraphEnd(index) - 1) + 1, false);
            ++index;
        }
        if (m_out.m_pages.empty()) m_out.m_pages.push_back({0, 1});
    }

private:
    void startSection(int index, bool first) {
        const auto& sections = m_model.sections();
        if (index < 0 || index >= static_cast<int>(sections.size())) return;
        m_section = index;
        const Section& s = sections[static_cast<std::size_t>(index)];
        m_textHeight = std::max(s.page.pageHeight - s.page.topMargin - s.page.bottomMargin, 72.0);
        m_textWidth = std::max(s.page.pageWidth - s.page.leftMargin - s.page.rightMargin, 72.0);
        if (first || s.breakType != 3) {
            newPage();
            if (!first && (s.breakType == 4 || s.breakType == 5) &&
                (m_number % 2 == 0) != (s.breakType == 4))
                newPage();  // a blank page brings an even or odd section to its side
        }
        if (s.restartNumbering) m_out.m_pages.back().number = m_number = s.startingNumber;
    }

    void newPage() {
        if (!m_out.m_pages.empty()) ++m_number;
        m_out.m_pages.push_back({m_section, m_number});
        m_used = 0;
    }

    int page() const { return static_cast<int>(m_out.m_pages.size()) - 1; }

    // The height of the first line of paragraph `index` with the space above it: what a heading
    // kept with it needs below itself on the same page.
    double nextFirstLine(int index) {
        if (!m_body.paragraphCells(index).empty()) return 0;
        const ParagraphBox next = m_paragraphs.layOut(index, m_textWidth);
        return next.before + (next.block.lines.empty() ? 0 : next.block.lines.front().height);
    }

    void placeParagraph(const ParagraphBox& box, double keptBelow) {
        if (m_used > 0 && box.pageBreakBefore) newPage();
        if (m_used > 0 && box.keepWithNext && !box.block.lines.empty()) {
            // The paragraph and the first line after it go to the next page together when they
            // do not fit here but would fit on an empty page.
            const double needed = box.before + box.block.height + box.after + keptBelow;
            if (m_used + needed > m_textHeight + kSlack && needed <= m_textHeight) newPage();
        }
        if (m_used > 0) m_used += box.before;
        placeLines(box.block.lines, 0);
        m_used += box.after;
    }

    // Places lines whose tops count from `offset` below the current fill, each on the next page
    // when it would pass the bottom.
    void placeLines(const std::vector<Line>& lines, double offset) {
        const double base = m_used;
        double shift = 0;  // how far the lines moved down at page breaks
        for (const Line& line : lines) {
            double top = base + offset + line.top - shift;
            if (line.pageBreakBefore || (top > 0 && top + line.height > m_textHeight + kSlack)) {
                newPage();
                shift = base + offset + line.top;
                top = 0;
            }
            m_out.m_lines.push_back({line.start, line.end, page(), top, line.height});
            m_used = top + line.height;
        }
    }

    // ---- tables --------------------------------------------------------------------------------

    // The first paragraph after the table at `depth` that holds paragraph `from`.
    int tableEnd(int from, std::size_t depth) const {
        const int table = m_body.paragraphCells(from)[depth].table;
        int end = from + 1;
        while (end < m_body.paragraphCount()) {
            const std::span<const CellRef> cells = m_body.paragraphCells(end);
            if (cells.size() <= depth || cells[depth].table != table) break;
            ++end;
        }
        return end;
    }

    // The width of the cell that holds paragraph `index` at `depth`, in a table `width` wide.
    double cellWidth(int index, std::size_t depth, double width) const {
        const CellRef cell = m_body.paragraphCells(index)[depth];
        const auto& tables = m_body.tables();
        if (cell.table < 0 || cell.table >= static_cast<int>(tables.size())) return width;
        const TableInfo& table = tables[static_cast<std::size_t>(cell.table)];
        if (table.grid.empty()) return width;
        std::size_t column = 0;
        int span = 1;
        if (cell.row >= 0 && cell.row < static_cast<int>(table.rows.size())) {
            const auto& cells = table.rows[static_cast<std::size_t>(cell.row)].cells;
            for (int c = 0; c < cell.column && c < static_cast<int>(cells.size()); ++c)
                column += static_cast<std::size_t>(
                    std::max(1, cells[static_cast<std::size_t>(c)].gridSpan));
            if (cell.column < static_cast<int>(cells.size()))
                span = std::max(1, cells[static_cast<std::size_t>(cell.column)].gridSpan);
        }
        double sum = 0;
        for (std::size_t c = column;
             c < column + static_cast<std::size_t>(span) && c < table.grid.size(); ++c)
            sum += table.grid[c];
        if (sum <= 0) sum = width / static_cast<double>(table.grid.size());
        return sum;
    }

    // The content of one cell (paragraphs and nested tables) laid out at `width`.
    Block cellBlock(int from, int to, std::size_t depth, double width) {
        Block block;
        double top = 0;
        double after = 0;
        for (int index = from; index < to;) {
            if (m_body.paragraphCells(index).size() > depth + 1) {
                const int end = tableEnd(index, depth + 1);
                const std::vector<Block> rows = tableRows(index, end, depth + 1, width);
                top += after;
                after = 0;
                for (const Block& row : rows) {
                    block.append(row, top);
                    top += row.height;
                }
                index = end;
                continue;
            }
            const ParagraphBox box = m_paragraphs.layOut(index, width);
            top += after + box.before;
            block.append(box.block, top);
            top += box.block.height;
            after = box.after;
            ++index;
        }
        block.height = top + after;
        return block;
    }

    // The rows of the table at `depth` that paragraphs [from, to) hold, laid out at `width`:
    // each row's cells side by side, as tall as the tallest.
    std::vector<Block> tableRows(int from, int to, std::size_t depth, double width) {
        std::vector<Block> rows;
        int index = from;
        while (index < to) {
            const int row = m_body.paragraphCells(index)[depth].row;
            Block rowBlock;
            while (index < to && m_body.paragraphCells(index)[depth].row == row) {
                const int column = m_body.paragraphCells(index)[depth].column;
                int end = index + 1;
                while (end < to && m_body.paragraphCells(end)[depth].row == row &&
                       m_body.paragraphCells(end)[depth].column == column)
                    ++end;
                const double inner =
                    std::max(cellWidth(index, depth, width) - 2 * kCellMargin, kNarrowestMeasure);
                const Block cell = cellBlock(index, end, depth, inner);
                rowBlock.append(cell, 0);
                rowBlock.height = std::max(rowBlock.height, cell.height);
                index = end;
            }
            // The cells' lines in body order are side by side: pagination takes them by top.
            // The rule between two rows is shared by both: each takes half of it (which is what
            // LibreOffice's rows measure).
            rowBlock.height += rowBorder(index - 1, depth) / 2;
            rows.push_back(std::move(rowBlock));
        }
        return rows;
    }

    // The width of the borders of the table that holds paragraph `index` at `depth`.
    double rowBorder(int index, std::size_t depth) const {
        const int table = m_body.paragraphCells(index)[depth].table;
        const auto& tables = m_body.tables();
        if (table < 0 || table >= static_cast<int>(tables.size())) return 0;
        return tables[static_cast<std::size_t>(table)].borderWidth;
    }

    void placeTable(int from, int to) {
        for (const Block& row : tableRows(from, to, 0, m_textWidth)) {
            if (m_used > 0 && m_used + row.height > m_textHeight + kSlack &&
                row.height <= m_textHeight)
                newPage();
            placeRow(row);
        }
    }

    // Places a row: its cells' lines side by side. A row taller than what is left of an empty
    // page goes on over the next pages, each line on the page its top falls on.
    void placeRow(const Block& row) {
        const int first = page();
        const double base = m_used;
        int lastPage = first;
        double lastBottom = base + row.height;
        for (const Line& line : row.lines) {
            double top = base + line.top;  // from the top of the row's first page
            int k = 0;
            while (top + line.height > (k + 1) * m_textHeight + kSlack &&
                   line.height <= m_textHeight) {
                ++k;
                top = std::max(top, k * m_textHeight);
            }
            while (page() < first + k) newPage();
            const double onPage = top - k * m_textHeight;
            m_out.m_lines.push_back({line.start, line.end, first + k, onPage, line.height});
            if (first + k > lastPage) {
                lastPage = first + k;
                lastBottom = onPage + line.height;
            } else if (first + k == lastPage && lastPage > first) {
                lastBottom = std::max(lastBottom, onPage + line.height);
            }
        }
        m_used = lastBottom;
    }

    const DocumentModel& m_model;
    const Story& m_body;
    ParagraphLayouter m_paragraphs;
    PageLayout& m_out;
    double m_textHeight = 648, m_textWidth = 432;
    double m_used = 0;
    int m_number = 1;
    int m_section = 0;
};

PageLayout::PageLayout(const DocumentModel& model, fonts::TextMeasure& measure) {
    Paginator(model, measure, *this).run();
}

int PageLayout::pageAt(int pos) const {
    const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), pos,
                                        [](int at, const LineBox& l) { return at < l.start; });
    if (after == m_lines.begin()) return 0;
    return std::prev(after)->page;
}

std::vector<int> layoutPageNumbers(const DocumentModel& model, const std::vector<int>& positions) {
    const PageLayout layout(model, fonts::systemTextMeasure());
    std::vector<int> numbers;
    numbers.reserve(positions.size());
    for (const int pos : positions) numbers.push_back(layout.numberAt(pos));
    return numbers;
}

void registerPageLayout() {
    setPageNumbering(layoutPageNumbers);
}

}  // namespace quillet::engine::layout
