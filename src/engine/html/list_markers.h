// List markers: an item's marker for each list-style-type, and the counters of the open lists.
// It writes no paragraphs and knows no indents: the walk puts the marker before the item's text.
#pragma once

#include <gumbo.h>

#include <cstddef>
#include <string>
#include <vector>

namespace quillet::engine::html {

// The marker of list item `number` in a list of `type` (a CSS list-style-type): a bullet, a
// letter or roman numeral with a full stop, nothing for "none", else a decimal number.
std::u16string listMarker(const std::string& type, int number);

// The list-style-type that a list's type attribute names ("1", "a", "A", "i", "I", "disc",
// "circle", "square"); empty for anything else.
std::string listTypeAttribute(const std::string& type);

// The lists open around the element being read, innermost last, each with its marker type and
// the number of its next item. Numbers stay far from overflowing, whatever the page says.
class ListCounters {
public:
    // Opens list element `e` (ul, ol, dir or menu) whose computed list-style-type is `listStyle`.
    // Its type is its own type attribute, else that style; where either is missing, a decimal
    // number for <ol> and, for the others, a bullet by how many bulleted lists are open (disc,
    // circle, square). An <ol> counts from its start attribute.
    void open(const GumboElement& e, const std::string& listStyle);
    // Closes the innermost list.
    void close() { m_lists.pop_back(); }

    // The marker of list item `e` whose computed list-style-type is `listStyle` (empty for the
    // list's own), numbered from its value attribute or on from the item before it.
    std::u16string nextMarker(const GumboElement& e, const std::string& listStyle);

    // How many lists are open; closeTo closes those opened since, for content read apart.
    std::size_t depth() const { return m_lists.size(); }
    void closeTo(std::size_t depth) { m_lists.resize(depth); }

private:
    struct List {
        bool ordered = false;
        std::string type;
        int next = 1;
    };
    std::vector<List> m_lists;
};

}  // namespace quillet::engine::html
