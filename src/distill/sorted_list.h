// A sorted list of texts (file paths, anchor names) compared without regard to letter case,
// duplicates ignored, each line with an optional object that the first add of the text stores.
#pragma once

#include "platform/case_insensitive_path.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

template <typename Object>
class SortedStringList {
public:
    struct Line {
        std::u16string text;
        Object* object = nullptr;
        std::u16string key;  // folded text: the sort key
    };

    // Adds `text` unless it is already present; the object of a present line stays. Returns the
    // index of the line.
    std::size_t add(std::u16string text, Object* object = nullptr) {
        std::u16string key = foldCase(text);
        const auto at = lowerBound(key);
        if (at != m_lines.end() && at->key == key)
            return static_cast<std::size_t>(at - m_lines.begin());
        const auto inserted = m_lines.insert(at, Line{std::move(text), object, std::move(key)});
        return static_cast<std::size_t>(inserted - m_lines.begin());
    }

    std::optional<std::size_t> indexOf(std::u16string_view text) const {
        const std::u16string key = foldCase(text);
        const auto at =
            std::lower_bound(m_lines.begin(), m_lines.end(), key,
                             [](const Line& l, const std::u16string& k) { return l.key < k; });
        if (at == m_lines.end() || at->key != key) return std::nullopt;
        return static_cast<std::size_t>(at - m_lines.begin());
    }
    bool contains(std::u16string_view text) const { return indexOf(text).has_value(); }

    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    Line& operator[](std::size_t i) { return m_lines[i]; }
    const Line& operator[](std::size_t i) const { return m_lines[i]; }
    void clear() { m_lines.clear(); }
    auto begin() const { return m_lines.begin(); }
    auto end() const { return m_lines.end(); }

private:
    typename std::vector<Line>::iterator lowerBound(const std::u16string& key) {
        return std::lower_bound(m_lines.begin(), m_lines.end(), key,
                                [](const Line& l, const std::u16string& k) { return l.key < k; });
    }
    std::vector<Line> m_lines;
};

// Lines without objects.
struct NoObject {};
using StringSet = SortedStringList<NoObject>;

}  // namespace quillet
