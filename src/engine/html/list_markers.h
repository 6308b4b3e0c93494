// Lists of a page as lists of the document: the list template of each list-style-type, and the
// counters of the open lists, which put each item into a list of the document at the level of its
// nesting, a new list wherever the page's numbers leave off counting by one. It writes no
// paragraphs and knows no indents but the default ones: the walk gives the item's first paragraph
// its list and level.
#pragma once

#include "engine/lists.h"

#include <gumbo.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::engine::html {

// Points between a list item's number and its text: the hanging indent of list paragraphs, and
// half the step from one level of lists to the next (the list's margin and the item's indent).
inline constexpr double kListIndent = 18;

// The list-style-type that a CSS value names, in the words this reading uses: disc, circle,
// square, decimal, lower-alpha, upper-alpha, lower-roman, upper-roman or none (lower-latin and
// upper-latin become the alphas; other numbered styles, such as lower-greek, decimal). Empty for
// a word that names no list-style-type ("inside", "url(a.gif)").
std::string listStyleType(std::string_view value);

// The list-style-type that a list's type attribute names ("1", "a", "A", "i", "I", "disc",
// "circle", "square"); empty for anything else.
std::string listTypeAttribute(const std::string& type);

// The template of lists of `type` (a list-style-type): every level numbered or bulleted alike,
// "%N." after a number, a plain bullet character (•, ◦, ▪) that every font has; each level two
// kListIndent further in, its number hanging kListIndent.
ListTemplate listTemplate(const std::string& type);

// Where a list item's first paragraph goes: a list of the document (0 for none: a list whose
// type is "none") and its level.
struct ListItem {
    int list = 0;
    int level = 0;
};

// The lists open around the element being read, innermost last, each with its type, the number
// of its next item and the list of the document that numbers its items. Numbers stay far from
// overflowing, whatever the page says.
class ListCounters {
public:
    // Lists are added to `lists`, which must outlive the counters.
    explicit ListCounters(ListTable& lists) : m_table(lists) {}

    // Opens list element `e` (ul, ol, dir or menu) whose computed list-style-type is `listStyle`.
    // Its type is its own type attribute, else that style; where either is missing, a decimal
    // number for <ol> and, for the others, a bullet by how many bulleted lists are open (disc,
    // circle, square). An <ol> counts from its start attribute.
    void open(const GumboElement& e, const std::string& listStyle);
    // Closes the innermost list.
    void close() { m_lists.pop_back(); }

    // The list and level of list item `e` whose computed list-style-type is `listStyle` (empty for
    // the list's own), numbered from its value attribute or on from the item before it. An item
    // whose number or type the list it would join does not give starts a new list of the document
    // at its number: each HTML list numbers on its own, and numbers below 0 show as 0.
    ListItem nextItem(const GumboElement& e, const std::string& listStyle);

    // How many lists are open; closeTo closes those opened since, for content read apart.
    std::size_t depth() const { return m_lists.size(); }
    void closeTo(std::size_t depth) { m_lists.resize(depth); }

private:
    struct List {
        bool ordered = false;
        std::string type;
        int next = 1;
        int list = 0;          // the list of the document that numbers its items, 0 before one
        std::string listType;  // that list's type
        int listNext = 0;      // the number that list gives its next item
    };
    ListTable& m_table;
    std::vector<List> m_lists;
};

}  // namespace quillet::engine::html
