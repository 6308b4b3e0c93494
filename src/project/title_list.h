// One contents entry of a help project and the owning, ordered list of them. Every stage after
// unpacking works on this list; the contents parser fills it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quillet {

struct TTitleList {
    std::u16string Topic;          // the entry's title
    int Index = 0;                 // running number within one contents file
    int Level = 0;                 // nesting depth from 0; -1 before any list is opened
    std::u16string Url;            // topic page, possibly with "#anchor"; empty when none
    int Icon = 0;                  // ImageNumber
    int Status = 0;                // 0 page, 2 heading without page, 3 external web address
    std::u16string Keywords;       // index keyword paths
    std::u16string ContextNumber;  // running context number, from 1000
    std::u16string ChapterNumber;  // "1.", "1.1", ...
    std::u16string Bookmark;       // "Bookmark" + position in the list
};

// The contents list; owns its entries.
class TTitleLists {
public:
    std::size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    TTitleList& operator[](std::size_t i) { return *m_items[i]; }
    const TTitleList& operator[](std::size_t i) const { return *m_items[i]; }

    // Appends an entry and returns it; the list owns it.
    TTitleList& add(std::unique_ptr<TTitleList> item) {
        m_items.push_back(std::move(item));
        return *m_items.back();
    }
    void clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TTitleList>> m_items;
};

}  // namespace quillet
