#include "project/title_list.h"

#include "platform/case_insensitive_path.h"

namespace quillet {

TTitleList& TTitleLists::add(std::unique_ptr<TTitleList> item) {
    m_items.push_back(std::move(item));
    return *m_items.back();
}

TTitleList& TTitleLists::insert(std::size_t index, std::unique_ptr<TTitleList> item) {
    return **m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
}

void TTitleLists::erase(std::size_t index) {
    TTitleList* gone = m_items[index].get();
    std::erase_if(m_urls, [gone](const auto& entry) { return entry.second == gone; });
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
}

void TTitleLists::clear() {
    m_urls.clear();
    m_items.clear();
}

void TTitleLists::initializeUrls() {
    m_urls.clear();
    for (const auto& item : m_items) m_urls.emplace(foldCase(item->Url), item.get());
}

TTitleList* TTitleLists::GetItemByUrl(const std::u16string& Url) const {
    const auto it = m_urls.find(foldCase(Url));
    return it == m_urls.end() ? nullptr : it->second;
}

}  // namespace quillet
