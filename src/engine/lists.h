// Numbered and bulleted lists of a document: the templates that say how the numbers of each level
// look and where they stand (a .docx package's abstract numbering), and the lists that paragraphs
// belong to (ParaFormat::list), each counting on its own from the starts it gives. A document
// keeps one table; a fragment carries the lists its paragraphs use. It does not count or show
// numbers: the program that lays the document out does.
#pragma once

#include "engine/format_table.h"

#include <array>
#include <compare>
#include <cstddef>
#include <string>
#include <vector>

namespace quillet::engine {

// Levels of a list template, as Word has them: ParaFormat::listLevel runs from 0 to 8.
inline constexpr int kListLevels = 9;

// How the numbers of a level are written.
enum class NumberStyle { Bullet, Decimal, LowerLetter, UpperLetter, LowerRoman, UpperRoman, None };

struct ListLevel {
    NumberStyle style = NumberStyle::Decimal;
    // What the number shows: "%1." is the number of level 0 with a full stop; a bullet is itself.
    std::u16string text;
    int start = 1;
    double leftIndent = 0;  // points, of the level's paragraphs
    double hanging = 0;     // points that the number stands out before the text

    auto operator<=>(const ListLevel&) const = default;
    bool operator==(const ListLevel&) const = default;
};

struct ListTemplate {
    std::array<ListLevel, kListLevels> levels;

    auto operator<=>(const ListTemplate&) const = default;
    bool operator==(const ListTemplate&) const = default;
};

// A level of a list that starts at its own number rather than its template's.
struct ListStart {
    int level = 0;
    int start = 1;
    auto operator<=>(const ListStart&) const = default;
};

struct List {
    int listTemplate = 0;  // into its table's templates
    std::vector<ListStart> starts;

    bool operator==(const List&) const = default;
};

struct ListTemplateHash {
    std::size_t operator()(const ListTemplate& t) const;
};

class ListTable {
public:
    // The number of template `t`, added when the table does not hold it yet (from 0).
    int addTemplate(const ListTemplate& t) { return static_cast<int>(m_templates.intern(t)); }
    // Adds a list on template `t` whose levels start as `starts` says; returns its number, which
    // paragraphs name in ParaFormat::list (from 1).
    int add(const ListTemplate& t, std::vector<ListStart> starts = {});

    int templateCount() const { return static_cast<int>(m_templates.size()); }
    const ListTemplate& listTemplate(int index) const {
        return m_templates[static_cast<std::uint32_t>(index)];
    }
    // Lists 1 to count().
    int count() const { return static_cast<int>(m_lists.size()); }
    const List& list(int number) const { return m_lists[static_cast<std::size_t>(number - 1)]; }
    bool empty() const { return m_lists.empty(); }

private:
    FormatTable<ListTemplate, ListTemplateHash> m_templates;
    std::vector<List> m_lists;
};

}  // namespace quillet::engine
