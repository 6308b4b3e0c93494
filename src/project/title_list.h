// One contents entry of a help project and the owning, ordered list of them, with an index from
// page address to entry. Every stage after unpacking works on this list.
#pragma once

#include <map>
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
    std::u16string Keywords;       // index keyword paths joined by "`\"
    std::u16string ContextNumber;  // running context number, from 1000
    std::u16string ChapterNumber;  // "1.", "1.1", ...
    std::u16string Bookmark;       // "Bookmark" + position in the list
};

// The contents list; owns its entries, which keep their addresses while the list lives.
class TTitleLists {
public:
    std::size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    TTitleList& operator[](std::size_t i) { return *m_items[i]; }
    const TTitleList& operator[](std::size_t i) const { return *m_items[i]; }

    // Appends an entry and returns it.
    TTitleList& add(std::unique_ptr<TTitleList> item);
    TTitleList& add() { return add(std::make_unique<TTitleList>()); }
    // Inserts an entry at `index` (0..size()) and returns it.
    TTitleList& insert(std::size_t index, std::unique_ptr<TTitleList> item);
    void erase(std::size_t index);
    void clear();

    // Rebuilds the address index from the entries as they are now: the first entry with a
    // given address (without regard to letter case) is the one found; empty addresses count.
    void initializeUrls();
    // The entry whose Url equals `Url` without regard to letter case, as of the last
    // initializeUrls; nullptr when none.
    TTitleList* GetItemByUrl(const std::u16string& Url) const;

private:
    std::vector<std::unique_ptr<TTitleList>> m_items;
    std::map<std::u16string, TTitleList*> m_urls;  // folded Url -> first entry
};

}  // namespace quillet
