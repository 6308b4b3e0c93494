// The contents anchors that point into one page, and the pieces of a page cut at them: where
// each anchor's part begins, the light distillation of a part, and the table markup a part cut
// through a table needs at either end.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillet {

struct TBookmark {
    std::u16string Name;   // the anchor name from the contents address
    std::u16string Title;  // the title of the entry that gave it
    int Position = 0;      // where its part begins in the distilled body, from 1; 0 not found
};

class TBookmarks {
public:
    TBookmark& add(TBookmark bookmark);
    int Count() const { return static_cast<int>(m_items.size()); }
    TBookmark& Items(int i) { return m_items[static_cast<std::size_t>(i)]; }
    const TBookmark& Items(int i) const { return m_items[static_cast<std::size_t>(i)]; }

    // The first bookmark named `Name` (one leading "#" ignored, letter case ignored); none for
    // an empty name.
    TBookmark* GetItemByName(std::u16string_view Name);
    // Its index, or -1.
    int GetItemIdByName(std::u16string_view Name) const;
    // By Position, ascending, by exchanges that keep the order of equal positions; bookmarks
    // never found (Position 0) come first.
    void Sort();

private:
    void index(int n);
    void exchangeSort();

    std::vector<TBookmark> m_items;
    // Folded name (without its "#") -> the first index of that name. Names do not change once
    // added; Sort reorders and so builds it anew.
    std::unordered_map<std::u16string, int> m_byName;
};

// The attribute pairs of the A tags of `body` and the id attributes of its other tags, with what
// the bookmark placement needs: the position (from 1) where the text block around each pair
// begins.
struct AnchorAttribute {
    std::u16string name, value;
    int blockStart = 1;
};
std::vector<AnchorAttribute> readAnchorAttributes(std::u16string_view body);

// A part of a distilled page distilled once more: its leading heading (the bookmark's title or
// anything heading-like) dropped, the smallest element holding its text kept, table edges
// repaired.
std::u16string DistillFragment(std::u16string_view fragment, std::u16string_view title);

// Whether a block reads like a heading for `Title`: the same text, one containing the other
// with lengths within 40%, or a short line (under 50 characters) not ending in "." or ":".
bool IsHeadingLike(std::u16string_view S, std::u16string_view Title);

// `S` with "<table>"/"<table><tr>" in front when it begins inside a row or cell, and
// "</table>"/"</tr></table>" behind when it ends inside one.
std::u16string RepairTableEdges(std::u16string_view S);

}  // namespace quillet
