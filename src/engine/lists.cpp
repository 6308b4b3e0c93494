#include "engine/lists.h"

#include <functional>

namespace quillet::engine {

std::size_t ListTemplateHash::operator()(const ListTemplate& t) const {
    std::size_t hash = 0;
    const auto mix = [&hash](std::size_t value) {
        hash ^= value + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
    };
    for (const ListLevel& level : t.levels) {
        mix(static_cast<std::size_t>(level.style));
        mix(std::hash<std::u16string>{}(level.text));
        mix(std::hash<int>{}(level.start));
        mix(std::hash<double>{}(level.leftIndent));
        mix(std::hash<double>{}(level.hanging));
    }
    return hash;
}

int ListTable::add(const ListTemplate& t, std::vector<ListStart> starts) {
    m_lists.push_back({addTemplate(t), std::move(starts)});
    return count();
}

}  // namespace quillet::engine
