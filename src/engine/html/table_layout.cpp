#include "engine/html/table_layout.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

namespace quillet::engine::html {

namespace {

// A paragraph of a fragment: its text from `start` to its end mark at `end`, and its number.
struct Paragraph {
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t index = 0;
};

std::vector<Paragraph> paragraphsOf(const Fragment& f) {
    std::vector<Paragraph> paragraphs;
    std::size_t start = 0;
    for (std::size_t i = 0; i < f.text.size(); ++i) {
        const char16_t c = f.text[i];
        if (c != kParagraphMark && c != kCellMark && c != kSectionBreak) continue;
        paragraphs.push_back({start, i, paragraphs.size()});
        start = i + 1;
    }
    return paragraphs;
}

// What a run's formatting asks of the measure, its unset properties taken from `base`.
fonts::FontRequest requestOf(const CharFormat& base, const CharFormat& run) {
    CharFormat c = base;
    c.apply(run);
    fonts::FontRequest r;
    r.family = c.font.value_or(u"Times New Roman");
    r.eastAsiaFamily = c.eastAsiaFont.value_or(u"");
    r.language = c.eastAsiaLanguage ? *c.eastAsiaLanguage : c.language.value_or(u"");
    r.size = c.size.value_or(12);
    // Word sets superscripts and subscripts at two thirds of the size.
    if (c.verticalAlign.value_or(0) != 0) r.size *= 2.0 / 3;
    r.bold = c.bold.value_or(false);
    r.italic = c.italic.value_or(false);
    return r;
}

// Measures the paragraphs of a fragment: each one's shown text in its runs' fonts.
class ParagraphMeasure {
public:
    ParagraphMeasure(const Fragment& f, const StyleSheet& styles, fonts::TextMeasure& measure)
        : m_f(f), m_styles(f.styles ? *f.styles : styles), m_measure(measure) {
        std::size_t at = 0;
        for (const FragmentRun& run : f.runs) {
            m_runEnds.push_back(at += static_cast<std::size_t>(run.length));
        }
        for (const InlinePicture& p : f.pictures)
            m_pictures[static_cast<std::size_t>(p.start)] = p.picture.width;
    }

    ContentWidths measure(const Paragraph& p) {
        const ParaFormat format =
            m_f.paragraphs.empty() ? ParaFormat{} : m_f.paragraphFormat(p.index);
        const int style = format.style >= 0 && format.style < m_styles.count() ? format.style : 0;
        const CharFormat base = m_styles.resolvedFont(style);
        ParaFormat indents = m_styles.resolvedParagraph(style);
        const double indent =
            format.leftIndent.value_or(indents.leftIndent.value_or(0)) +
            format.rightIndent.value_or(indents.rightIndent.value_or(0)) +
            std::max(0.0, format.firstLineIndent.value_or(indents.firstLineIndent.value_or(0)));
        shownText(p);
        if (m_shown.empty()) return {};
        std::u16string language;
        if (!m_shownRuns.empty() && !m_f.runs.empty()) {
            const CharFormat& first = m_f.charFormat(m_f.runs[m_shownRuns.front()]);
            language = first.eastAsiaLanguage
                           ? *first.eastAsiaLanguage
                           : first.language.value_or(base.eastAsiaLanguage.value_or(u""));
        }
        m_style = style;
        m_base = base;
        std::vector<std::size_t> mandatory;
        const std::vector<std::size_t> breaks = fonts::lineBreaks(m_shown, language, &mandatory);
        // Each piece between break opportunities is measured once: without the spaces that end
        // it for the minimum and a line's end, with them inside a line.
        ContentWidths w;
        std::size_t piece = 0, nextMandatory = 0;
        double line = 0;
        for (const std::size_t at : breaks) {
            const std::size_t end = trimmed(piece, at);
            const double text = width(piece, end);
            w.minimum = std::max(w.minimum, text);
            const bool mandatoryHere =
                nextMandatory < mandatory.size() && mandatory[nextMandatory] == at;
            if (mandatoryHere) ++nextMandatory;
            if (mandatoryHere || at == m_shown.size()) {
                w.preferred = std::max(w.preferred, line + text);
                line = 0;
            } else {
                line += text + (end < at ? width(end, at) : 0);
            }
            piece = at;
        }
        w.preferred = std::max(w.preferred, w.minimum);
        w.minimum += indent;
        w.preferred += indent;
        return w;
    }

private:
    // Fills m_shown with the characters of `p` that take room: not field codes, not hidden
    // text; m_shownRuns with the run of each.
    void shownText(const Paragraph& p) {
        m_shown.clear();
        m_shownRuns.clear();
        m_shownAt.clear();
        std::vector<bool> fields;  // per open field: whether its code is being read
        // The run that holds the paragraph's first character.
        auto run = static_cast<std::size_t>(
            std::upper_bound(m_runEnds.begin(), m_runEnds.end(), p.start) - m_runEnds.begin());
        for (std::size_t i = p.start; i < p.end; ++i) {
            while (run < m_runEnds.size() && m_runEnds[run] <= i) ++run;
            const char16_t c = m_f.text[i];
            if (c == kFieldBegin) {
                fields.push_back(true);
                continue;
            }
            if (c == kFieldSeparator) {
                if (!fields.empty()) fields.back() = false;
                continue;
            }
            if (c == kFieldEnd) {
                if (!fields.empty()) fields.pop_back();
                continue;
            }
            if (std::find(fields.begin(), fields.end(), true) != fields.end()) continue;
            const std::size_t r = std::min(run, m_f.runs.empty() ? 0 : m_f.runs.size() - 1);
            if (!m_f.runs.empty() && m_f.charFormat(m_f.runs[r]).hidden.value_or(false)) continue;
            m_shown += c;
            m_shownRuns.push_back(r);
            m_shownAt.push_back(i);
        }
    }

    // The end of the shown text from `from` to `to` without the spaces that end it.
    std::size_t trimmed(std::size_t from, std::size_t to) const {
        while (to > from &&
               (m_shown[to - 1] == u' ' || m_shown[to - 1] == kTab || m_shown[to - 1] == 0x3000 ||
                (m_shown[to - 1] < 0x20 && m_shown[to - 1] != kPictureChar)))
            --to;
        return to;
    }

    // The width of the shown text from `from` to `to`, run by run, pictures at their width.
    double width(std::size_t from, std::size_t to) {
        double w = 0;
        while (from < to) {
            if (m_shown[from] == kPictureChar) {
                const auto picture = m_pictures.find(m_shownAt[from]);
                if (picture != m_pictures.end()) w += picture->second;
                ++from;
                continue;
            }
            std::size_t end = from + 1;
            while (end < to && m_shownRuns[end] == m_shownRuns[from] &&
                   m_shown[end] != kPictureChar)
                ++end;
            w += m_measure.width(std::u16string_view(m_shown).substr(from, end - from),
                                 request(m_shownRuns[from]));
            from = end;
        }
        return w;
    }

    const fonts::FontRequest& request(std::size_t run) {
        static const fonts::FontRequest kPlain = requestOf({}, {});
        if (m_f.runs.empty()) return kPlain;
        const std::uint32_t format = m_f.runs[run].format;
        const auto key = (static_cast<std::uint64_t>(m_style) << 32) | format;
        const auto found = m_requests.find(key);
        if (found != m_requests.end()) return found->second;
        return m_requests.emplace(key, requestOf(m_base, m_f.charFormats[format])).first->second;
    }

    const Fragment& m_f;
    const StyleSheet& m_styles;
    fonts::TextMeasure& m_measure;
    std::vector<std::size_t> m_runEnds;        // where each run ends in the text
    std::map<std::size_t, double> m_pictures;  // picture widths by text position

    // The paragraph being measured.
    std::u16string m_shown;
    std::vector<std::size_t> m_shownRuns;  // the run of each shown character
    std::vector<std::size_t> m_shownAt;    // its position in the fragment's text
    int m_style = 0;
    CharFormat m_base;  // its style's character formatting
    // What each formatting asks of the measure, by paragraph style and formatting number.
    std::unordered_map<std::uint64_t, fonts::FontRequest> m_requests;
};

// A column's needs: from its single-column cells, and what the spanning cells add.
struct Column {
    double minimum = 0;
    double preferred = 0;
    std::optional<double> width;
    std::optional<double> percent;
};

std::vector<Column> columnNeeds(const std::vector<LayoutCell>& cells, int count) {
    std::vector<Column> columns(static_cast<std::size_t>(std::max(0, count)));
    for (const LayoutCell& c : cells) {
        if (c.span != 1 || c.column < 0 || c.column >= count) continue;
        Column& col = columns[static_cast<std::size_t>(c.column)];
        col.minimum = std::max(col.minimum, c.content.minimum);
        col.preferred = std::max(col.preferred, c.content.preferred);
        if (c.width && *c.width > 0) col.width = std::max(col.width.value_or(0), *c.width);
        if (c.percent && *c.percent > 0)
            col.percent = std::max(col.percent.value_or(0), *c.percent);
    }
    for (Column& col : columns) {
        if (col.width) col.preferred = std::max(col.minimum, *col.width);
        col.preferred = std::max(col.preferred, col.minimum);
    }
    // Spanning cells, narrowest span first, spread what they need beyond their columns over
    // them in proportion to the columns' preferred widths (evenly when those are all nothing).
    std::vector<const LayoutCell*> spanning;
    for (const LayoutCell& c : cells)
        if (c.span > 1 && c.column >= 0 && c.column < count) spanning.push_back(&c);
    std::stable_sort(spanning.begin(), spanning.end(),
                     [](const LayoutCell* a, const LayoutCell* b) { return a->span < b->span; });
    for (const LayoutCell* c : spanning) {
        const auto first = static_cast<std::size_t>(c->column);
        const std::size_t last =
            std::min(columns.size(), first + static_cast<std::size_t>(c->span));
        const std::size_t n = last - first;
        double minimum = 0, preferred = 0;
        for (std::size_t i = first; i < last; ++i) {
            minimum += columns[i].minimum;
            preferred += columns[i].preferred;
        }
        const double wantMin = c->content.minimum;
        const double wantPreferred = std::max(c->content.preferred, c->width.value_or(0));
        const auto share = [&](std::size_t i, double extra) {
            return preferred > 0 ? extra * columns[i].preferred / preferred
                                 : extra / static_cast<double>(n);
        };
        const double moreMin = wantMin - minimum, morePreferred = wantPreferred - preferred;
        for (std::size_t i = first; i < last; ++i) {
            const double addMin = moreMin > 0 ? share(i, moreMin) : 0;
            const double addPreferred = morePreferred > 0 ? share(i, morePreferred) : 0;
            columns[i].minimum += addMin;
            columns[i].preferred =
                std::max(columns[i].preferred + addPreferred, columns[i].minimum);
        }
    }
    return columns;
}

double sum(const std::vector<double>& v) {
    double s = 0;
    for (const double x : v) s += x;
    return s;
}

// The paragraphs of `all` that lie in a table at `level` (0: directly in the fragment), by
// table, row and column there.
using CellParagraphs = std::map<int, std::map<std::pair<int, int>, std::vector<Paragraph>>>;

ContentWidths measureLevel(const Fragment& f, const std::vector<Paragraph>& paragraphs,
                           std::size_t level, ParagraphMeasure& measure);

// The cells of table `index` of `f` as the layout sees them, their content measured.
std::vector<LayoutCell> layoutCellsOf(
    const Fragment& f, int index,
    const std::map<std::pair<int, int>, std::vector<Paragraph>>& cells, std::size_t level,
    ParagraphMeasure& measure) {
    std::vector<LayoutCell> layout;
    if (index < 0 || static_cast<std::size_t>(index) >= f.tables.size()) return layout;
    const TableInfo& table = f.tables[static_cast<std::size_t>(index)];
    for (const auto& [at, content] : cells) {
        const auto [row, column] = at;
        if (row < 0 || static_cast<std::size_t>(row) >= table.rows.size()) continue;
        const auto& rowCells = table.rows[static_cast<std::size_t>(row)].cells;
        if (column < 0 || static_cast<std::size_t>(column) >= rowCells.size()) continue;
        LayoutCell c;
        for (int k = 0; k < column; ++k) c.column += rowCells[static_cast<std::size_t>(k)].gridSpan;
        c.span = std::max(1, rowCells[static_cast<std::size_t>(column)].gridSpan);
        c.content = measureLevel(f, content, level + 1, measure);
        c.content.minimum += kCellPadding;
        c.content.preferred += kCellPadding;
        layout.push_back(c);
    }
    return layout;
}

ContentWidths measureLevel(const Fragment& f, const std::vector<Paragraph>& paragraphs,
                           std::size_t level, ParagraphMeasure& measure) {
    ContentWidths w;
    CellParagraphs tables;
    for (const Paragraph& p : paragraphs) {
        const std::vector<CellRef>* cells =
            f.paragraphs.empty() ? nullptr : &f.paragraphFormat(p.index).cells;
        if (cells && cells->size() > level) {
            const CellRef& ref = (*cells)[level];
            tables[ref.table][{ref.row, ref.column}].push_back(p);
            continue;
        }
        const ContentWidths own = measure.measure(p);
        w.minimum = std::max(w.minimum, own.minimum);
        w.preferred = std::max(w.preferred, own.preferred);
    }
    for (const auto& [index, cells] : tables) {
        const std::vector<LayoutCell> layout = layoutCellsOf(f, index, cells, level, measure);
        const TableInfo& table = f.tables[static_cast<std::size_t>(index)];
        ContentWidths inner = tableWidths(layout, static_cast<int>(table.grid.size()));
        // A width the page gave the table shows in its grid as laid out.
        inner.preferred = std::max(inner.preferred, sum(table.grid));
        w.minimum = std::max(w.minimum, inner.minimum);
        w.preferred = std::max(w.preferred, inner.preferred);
    }
    return w;
}

}  // namespace

ContentWidths measureContent(const Fragment& content, const StyleSheet& styles,
                             fonts::TextMeasure& measure) {
    ParagraphMeasure paragraphs(content, styles, measure);
    return measureLevel(content, paragraphsOf(content), 0, paragraphs);
}

ContentWidths tableWidths(const std::vector<LayoutCell>& cells, int columns) {
    ContentWidths w;
    for (const Column& c : columnNeeds(cells, columns)) {
        w.minimum += c.minimum;
        w.preferred += c.preferred;
    }
    return w;
}

std::vector<double> layOutColumns(const std::vector<LayoutCell>& cells, int count,
                                  std::optional<double> explicitWidth, double available) {
    const std::vector<Column> columns = columnNeeds(cells, count);
    if (columns.empty()) return {};
    const std::size_t n = columns.size();
    const double base = explicitWidth.value_or(available);
    // What each column asks for as the table grows: its minimum; then the columns of a
    // percentage at it; then those of a width at it; then all at their preferred width.
    std::vector<std::vector<double>> stages(4, std::vector<double>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const Column& c = columns[i];
        stages[0][i] = c.minimum;
        stages[1][i] = c.percent ? std::max(c.minimum, base * *c.percent / 100) : c.minimum;
        stages[2][i] = c.percent || !c.width ? stages[1][i] : std::max(c.minimum, *c.width);
        stages[3][i] = c.percent || c.width ? stages[2][i] : c.preferred;
    }
    std::vector<double> totals(stages.size());
    for (std::size_t k = 0; k < stages.size(); ++k) totals[k] = sum(stages[k]);
    for (std::size_t k = 1; k < totals.size(); ++k) totals[k] = std::max(totals[k], totals[k - 1]);

    const double target = explicitWidth ? std::min(std::max(*explicitWidth, totals[0]), available)
                                        : std::min(totals[3], available);
    std::vector<double> widths(n);
    if (target <= totals[0]) {
        // Not even the minimums fit. Word breaks a word wider than its cell anyway, so the
        // widest minimums give way: they are cut to one width, as wide as lets the narrower
        // columns keep theirs (never narrower than an equal share of the table).
        std::vector<double> minimums = stages[0];
        std::sort(minimums.begin(), minimums.end());
        double cap = target / static_cast<double>(n), below = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double even = (target - below) / static_cast<double>(n - i);
            if (minimums[i] >= even) {
                cap = even;
                break;
            }
            below += minimums[i];
        }
        for (std::size_t i = 0; i < n; ++i) widths[i] = std::min(stages[0][i], cap);
        return widths;
    }
    for (std::size_t k = 0; k + 1 < stages.size(); ++k) {
        if (target > totals[k + 1]) continue;
        const double span = totals[k + 1] - totals[k];
        const double t = span > 0 ? (target - totals[k]) / span : 0;
        for (std::size_t i = 0; i < n; ++i)
            widths[i] = stages[k][i] + (stages[k + 1][i] - stages[k][i]) * t;
        return widths;
    }
    // Room beyond every preference goes to the automatic columns in proportion to what they
    // prefer (to all when every column has a width).
    widths = stages[3];
    const double extra = target - totals[3];
    double automatic = 0;
    std::size_t automaticCount = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (!columns[i].width && !columns[i].percent) {
            automatic += widths[i];
            ++automaticCount;
        }
    for (std::size_t i = 0; i < n; ++i) {
        const bool isAutomatic = !columns[i].width && !columns[i].percent;
        if (automaticCount > 0) {
            if (!isAutomatic) continue;
            widths[i] += automatic > 0 ? extra * widths[i] / automatic
                                       : extra / static_cast<double>(automaticCount);
        } else {
            widths[i] +=
                totals[3] > 0 ? extra * stages[3][i] / totals[3] : extra / static_cast<double>(n);
        }
    }
    return widths;
}

namespace {

// Lays the tables at `level` among `paragraphs` (0: directly in the content) out again in
// `width` where they are wider, and then the tables inside each of their cells in that cell.
void fitLevel(Fragment& content, const std::vector<Paragraph>& paragraphs, std::size_t level,
              double width, ParagraphMeasure& measure) {
    CellParagraphs tables;
    for (const Paragraph& p : paragraphs) {
        const auto& refs = content.paragraphFormat(p.index).cells;
        if (refs.size() > level)
            tables[refs[level].table][{refs[level].row, refs[level].column}].push_back(p);
    }
    for (const auto& [index, cells] : tables) {
        if (index < 0 || static_cast<std::size_t>(index) >= content.tables.size()) continue;
        TableInfo& table = content.tables[static_cast<std::size_t>(index)];
        if (sum(table.grid) <= width + 0.01) continue;
        const std::vector<LayoutCell> layout = layoutCellsOf(content, index, cells, level, measure);
        const std::vector<double> grid =
            layOutColumns(layout, static_cast<int>(table.grid.size()), std::nullopt, width);
        if (grid.size() != table.grid.size()) continue;
        table.grid = grid;
        for (RowInfo& row : table.rows) {
            std::size_t column = 0;
            for (CellInfo& cell : row.cells) {
                cell.width = 0;
                for (int k = 0; k < std::max(1, cell.gridSpan) && column < grid.size(); ++k)
                    cell.width += grid[column++];
            }
        }
        for (const auto& [at, inner] : cells) {
            const auto [row, column] = at;
            if (row < 0 || static_cast<std::size_t>(row) >= table.rows.size()) continue;
            const auto& rowCells = table.rows[static_cast<std::size_t>(row)].cells;
            if (column < 0 || static_cast<std::size_t>(column) >= rowCells.size()) continue;
            const double cellWidth = rowCells[static_cast<std::size_t>(column)].width;
            fitLevel(content, inner, level + 1, std::max(0.0, cellWidth - kCellPadding), measure);
        }
    }
}

}  // namespace

void fitTables(Fragment& content, double width, const StyleSheet& styles,
               fonts::TextMeasure& measure) {
    if (content.tables.empty() || content.paragraphs.empty()) return;
    ParagraphMeasure paragraphs(content, styles, measure);
    fitLevel(content, paragraphsOf(content), 0, width, paragraphs);
}

}  // namespace quillet::engine::html
