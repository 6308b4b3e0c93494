#include "platform/case_insensitive_path.h"

#include "platform/utf.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace quillet {

namespace {

namespace fs = std::filesystem;

// Folded name → the real name on disk. When a folder holds one name in several spellings, the
// first in sorted order is kept, so the choice does not depend on the order readdir returns.
using FolderListing = std::map<std::u16string, std::string>;

// A process that converts many help files one after another would otherwise keep the listings
// of every job's working folder forever; past this many folders the cache starts afresh.
constexpr std::size_t kMaxCachedFolders = 4096;

bool isEven(char16_t c) {
    return c % 2 == 0;
}

// Nothing when the folder cannot be read (missing, not a folder, no permission).
std::shared_ptr<const FolderListing> readFolder(const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return nullptr;
    std::vector<std::string> names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) return nullptr;
        names.push_back(it->path().filename().string());
    }
    if (ec) return nullptr;
    std::sort(names.begin(), names.end());
    auto listing = std::make_shared<FolderListing>();
    for (std::string& name : names) listing->emplace(foldCase(fromUtf8(name)), std::move(name));
    return listing;
}

class FolderCache {
public:
    // The real name of the entry of `folder` whose folded name is `folded`. A folder read from the
    // cache is read again once before the answer is no.
    std::optional<std::string> find(const fs::path& folder, const std::u16string& folded) {
        std::error_code ec;
        const std::string key = fs::absolute(folder, ec).string();
        if (ec) return std::nullopt;

        std::shared_ptr<const FolderListing> listing = cached(key);
        const bool fromCache = listing != nullptr;
        if (!fromCache) listing = refresh(key, folder);
        if (auto found = lookUp(listing.get(), folded)) return found;
        if (!fromCache) return std::nullopt;
        return lookUp(refresh(key, folder).get(), folded);
    }

private:
    static std::optional<std::string> lookUp(const FolderListing* listing,
                                             const std::u16string& folded) {
        if (listing == nullptr) return std::nullopt;
        const auto it = listing->find(folded);
        if (it == listing->end()) return std::nullopt;
        return it->second;
    }

    std::shared_ptr<const FolderListing> cached(const std::string& key) {
        const std::lock_guard lock(m_mutex);
        const auto it = m_folders.find(key);
        return it == m_folders.end() ? nullptr : it->second;
    }

    // Reads the folder outside the lock, so one slow folder does not hold up other threads.
    std::shared_ptr<const FolderListing> refresh(const std::string& key, const fs::path& folder) {
        std::shared_ptr<const FolderListing> listing = readFolder(folder);
        const std::lock_guard lock(m_mutex);
        if (listing == nullptr) {
            m_folders.erase(key);
        } else {
            if (m_folders.size() >= kMaxCachedFolders) m_folders.clear();
            m_folders[key] = listing;
        }
        return listing;
    }

    std::mutex m_mutex;
    std::unordered_map<std::string, std::shared_ptr<const FolderListing>> m_folders;
};

FolderCache& folderCache() {
    static FolderCache cache;
    return cache;
}

}  // namespace

char16_t foldCase(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
    // Latin-1: À..Þ except the multiplication sign.
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return static_cast<char16_t>(c + 0x20);
    // Latin Extended-A pairs capital and small letter side by side; where the pairs start on an
    // odd code the capital is the odd one. U+0130 (dotted I) has no one-unit lower case.
    if ((c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) ||
        (c >= 0x014A && c <= 0x0177))
        return isEven(c) ? static_cast<char16_t>(c + 1) : c;
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E))
        return isEven(c) ? c : static_cast<char16_t>(c + 1);
    if (c == 0x0178) return 0x00FF;
    // Greek: the accented capitals sit apart from their small letters.
    if (c == 0x0386) return 0x03AC;
    if (c >= 0x0388 && c <= 0x038A) return static_cast<char16_t>(c + 0x25);
    if (c == 0x038C) return 0x03CC;
    if (c == 0x038E || c == 0x038F) return static_cast<char16_t>(c + 0x3F);
    if (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) return static_cast<char16_t>(c + 0x20);
    if (c == 0x03C2) return 0x03C3;
    // Cyrillic.
    if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);
    if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 0x20);
    if ((c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) ||
        (c >= 0x04D0 && c <= 0x052F))
        return isEven(c) ? static_cast<char16_t>(c + 1) : c;
    if (c >= 0x04C1 && c <= 0x04CE) return isEven(c) ? c : static_cast<char16_t>(c + 1);
    if (c == 0x04C0) return 0x04CF;
    return c;
}

std::u16string foldCase(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& c : folded) c = foldCase(c);
    return folded;
}

std::optional<fs::path> findExistingPath(const fs::path& path) {
    if (path.empty()) return std::nullopt;
    std::error_code ec;
    if (fs::exists(path, ec)) return path;

    // "." and ".." are taken as they are: they exist in every folder, so the exact-spelling test
    // keeps them and the kernel resolves them as it would for the original path.
    fs::path resolved = path.root_path();
    for (const fs::path& component : path.relative_path()) {
        const fs::path exact = resolved / component;
        if (fs::exists(exact, ec)) {
            resolved = exact;
            continue;
        }
        if (component.empty()) return std::nullopt;  // a trailing "/" after a file
        const fs::path folder = resolved.empty() ? fs::path(".") : resolved;
        const auto real = folderCache().find(folder, foldCase(fromUtf8(component.string())));
        if (!real) return std::nullopt;
        resolved /= *real;
    }
    // A cached name may have gone since, or be a link to nothing.
    if (!fs::exists(resolved, ec)) return std::nullopt;
    return resolved;
}

}  // namespace quillet
