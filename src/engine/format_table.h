// A table of formatting values stored once each and named by number: stories and fragments keep a
// number per run of characters or per paragraph instead of a whole value. Numbers are given in
// order from 0 and stay valid as long as the table lives; so do references to the values.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace quillet::engine {

template <class T, class Hash = std::hash<T>>
class FormatTable {
public:
    FormatTable() = default;
    FormatTable(const FormatTable& other) { *this = other; }
    FormatTable& operator=(const FormatTable& other) {
        if (this == &other) return *this;
        m_ids = other.m_ids;
        m_values.assign(other.m_values.size(), nullptr);
        for (const auto& [value, id] : m_ids) m_values[id] = &value;
        return *this;
    }
    // Moving keeps the map's nodes, so the pointers into them stay valid (as rehashing does).
    FormatTable(FormatTable&&) noexcept = default;
    FormatTable& operator=(FormatTable&&) noexcept = default;

    // The number of `value`, added when the table does not hold it yet.
    std::uint32_t intern(const T& value) {
        const auto [it, added] = m_ids.emplace(value, static_cast<std::uint32_t>(m_values.size()));
        if (added) m_values.push_back(&it->first);
        return it->second;
    }

    const T& operator[](std::uint32_t id) const { return *m_values[id]; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_values.size()); }

private:
    std::unordered_map<T, std::uint32_t, Hash> m_ids;  // owns the values
    std::vector<const T*> m_values;                    // by number, into m_ids
};

}  // namespace quillet::engine
