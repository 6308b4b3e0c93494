#include "engine/bookmark_names.h"

#include "platform/ascii.h"
#include "platform/utf.h"

#include <set>

namespace quillet::engine {

namespace {

constexpr std::size_t kMaxName = 40;

bool isLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
bool isNameChar(char16_t c) {
    return isLetter(c) || (c >= u'0' && c <= u'9') || c == u'_';
}

std::u16string sanitized(std::u16string_view name) {
    std::u16string out;
    for (char16_t c : name) out += isNameChar(c) ? c : u'_';
    if (out.empty() || !isLetter(out[0])) out.insert(out.begin(), u'B');
    if (out.size() > kMaxName) out.resize(kMaxName);
    return out;
}

}  // namespace

bool isValidBookmarkName(std::u16string_view name) {
    if (name.empty() || name.size() > kMaxName) return false;
    if (name.starts_with(u"_Toc") && name.size() > 4) {
        for (char16_t c : name.substr(4))
            if (c < u'0' || c > u'9') return false;
        return true;
    }
    if (!isLetter(name[0])) return false;
    for (char16_t c : name)
        if (!isNameChar(c)) return false;
    return true;
}

BookmarkNames::BookmarkNames(const DocumentModel& model) {
    std::map<std::u16string, std::u16string> originals;  // lower-cased -> first spelling seen
    auto gather = [&](const Story& story) {
        for (const auto& b : story.bookmarks()) originals.emplace(lowerAscii(b->name), b->name);
        for (const auto& h : story.hyperlinks())
            if (!h->subAddress.empty()) originals.emplace(lowerAscii(h->subAddress), h->subAddress);
    };
    gather(model.body());
    for (const Section& s : model.sections()) {
        for (const HeaderFooter& h : s.headers)
            if (h.story) gather(*h.story);
        for (const HeaderFooter& h : s.footers)
            if (h.story) gather(*h.story);
    }
    std::set<std::u16string> taken;  // lower-cased names in use
    for (const auto& [k, name] : originals)
        if (isValidBookmarkName(name)) {
            m_mapped[k] = name;
            taken.insert(k);
        }
    for (const auto& [k, name] : originals) {
        if (m_mapped.contains(k)) continue;
        std::u16string candidate = sanitized(name);
        for (int n = 2; taken.contains(lowerAscii(candidate)); ++n) {
            const std::u16string suffix = u"_" + fromUtf8(std::to_string(n));
            candidate = sanitized(name).substr(0, kMaxName - suffix.size()) + suffix;
        }
        taken.insert(lowerAscii(candidate));
        m_mapped[k] = candidate;
    }
}

std::u16string BookmarkNames::operator()(std::u16string_view name) const {
    const auto it = m_mapped.find(lowerAscii(name));
    return it != m_mapped.end() ? it->second : sanitized(name);
}

}  // namespace quillet::engine
