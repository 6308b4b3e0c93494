// The fixed character-set table: a character-set name as pages declare it ("gb2312") to its
// Windows code page. Built once on first use and only read afterwards, from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillet {

class CharsetList {
public:
    CharsetList();

    // The code page of the entry whose name equals `name` without regard to ASCII letter case,
    // as decimal text; the empty text when no entry matches.
    std::u16string lookup(std::u16string_view name) const;

    std::size_t size() const { return m_byName.size(); }

    // Every code page that some name maps to, each once, in ascending order.
    std::vector<int> codePages() const;

private:
    std::unordered_map<std::u16string, std::u16string> m_byName;  // lower-case name → code page
};

// The process-wide character-set table.
const CharsetList& CharsetTable();

}  // namespace quillet
