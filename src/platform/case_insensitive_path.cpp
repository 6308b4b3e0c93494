#include "platform/case_insensitive_path.h"

#include "platform/utf.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <map>
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
std::optional<FolderListing> readFolder(const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return std::nullopt;
    std::vector<std::string> names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) return std::nullopt;
        names.push_back(it->path().filename().string());
    }
    if (ec) return std::nullopt;
    std::sort(names.begin(), names.end());
    FolderListing listing;
    for (std::string& name : names) listing.emplace(foldCase(fromUtf8(name)), std::move(name));
    return listing;
}

// Listings of the folders looked into, kept current by the kernel's change notices (inotify):
// every entry created, removed or renamed in a watched folder is applied to its listing as it
// happens, so a miss needs no new listing and writing many new files into one folder costs no
// more than the writing. A folder that cannot be watched (no inotify, too many watches) is read
// again on a miss, as is one whose notices were lost.
class FolderCache {
public:
    FolderCache() : m_notices(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~FolderCache() {
        if (m_notices >= 0) ::close(m_notices);
    }
    FolderCache(const FolderCache&) = delete;
    FolderCache& operator=(const FolderCache&) = delete;

    // The real name of the entry of `folder` whose folded name is `folded`.
    std::optional<std::string> find(const fs::path& folder, const std::u16string& folded) {
        std::error_code ec;
        const std::string key = fs::absolute(folder, ec).lexically_normal().string();
        if (ec) return std::nullopt;

        const std::lock_guard lock(m_mutex);
        applyNotices();
        auto it = m_folders.find(key);
        if (it != m_folders.end()) {
            if (auto found = lookUp(it->second.listing, folded)) return found;
            if (it->second.watch >= 0) return std::nullopt;  // current: a miss is a miss
        }
        Folder* fresh = refresh(key, folder);
        if (fresh == nullptr) return std::nullopt;
        return lookUp(fresh->listing, folded);
    }

    std::size_t listingsRead() {
        const std::lock_guard lock(m_mutex);
        return m_listingsRead;
    }

private:
    struct Folder {
        FolderListing listing;
        int watch = -1;  // the inotify watch, -1 when the folder is not watched
    };

    static std::optional<std::string> lookUp(const FolderListing& listing,
                                             const std::u16string& folded) {
        const auto it = listing.find(folded);
        if (it == listing.end()) return std::nullopt;
        return it->second;
    }

    // Reads `folder` anew, watched from before the reading so that no change falls between.
    Folder* refresh(const std::string& key, const fs::path& folder) {
        forget(key);
        int watch = -1;
        if (m_notices >= 0)
            watch = ::inotify_add_watch(m_notices, key.c_str(),
                                        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                            IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
        ++m_listingsRead;
        auto listing = readFolder(folder);
        if (!listing) {
            if (watch >= 0) ::inotify_rm_watch(m_notices, watch);
            return nullptr;
        }
        if (m_folders.size() >= kMaxCachedFolders) forgetAll();
        // One folder reached under two names (a link) shares one watch: the older name goes.
        if (watch >= 0)
            if (const auto other = m_byWatch.find(watch); other != m_byWatch.end()) {
                m_folders.erase(other->second);
                m_byWatch.erase(other);
            }
        Folder& entry = m_folders[key];
        entry.listing = std::move(*listing);
        entry.watch = watch;
        if (watch >= 0) m_byWatch[watch] = key;
        return &entry;
    }

    void forget(const std::string& key) {
        const auto it = m_folders.find(key);
        if (it == m_folders.end()) return;
        if (it->second.watch >= 0) {
            m_byWatch.erase(it->second.watch);
            ::inotify_rm_watch(m_notices, it->second.watch);
        }
        m_folders.erase(it);
    }

    void forgetAll() {
        for (const auto& [watch, key] : m_byWatch) ::inotify_rm_watch(m_notices, watch);
        m_byWatch.clear();
        m_folders.clear();
    }

    // Applies every change notice that has arrived since the last call.
    void applyNotices() {
        if (m_notices < 0) return;
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(m_notices, buffer, sizeof buffer);
            if (n <= 0) return;  // nothing more (EAGAIN), or an error: the next call tries again
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                apply(*event);
            }
        }
    }

    void apply(const inotify_event& event) {
        if (event.mask & IN_Q_OVERFLOW) {
            forgetAll();  // notices were lost: every listing may be stale
            return;
        }
        const auto byWatch = m_byWatch.find(event.wd);
        if (byWatch == m_byWatch.end()) return;
        const std::string key = byWatch->second;
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
            forget(key);
            return;
        }
        if (event.len == 0) return;
        const std::string name(event.name);  // NUL-padded to event.len
        FolderListing& listing = m_folders[key].listing;
        const std::u16string folded = foldCase(fromUtf8(name));
        if (event.mask & (IN_CREATE | IN_MOVED_TO)) {
            // Of several spellings the first in sorted order is kept, as a fresh listing does.
            const auto [it, added] = listing.emplace(folded, name);
            if (!added && name < it->second) it->second = name;
        } else if (event.mask & (IN_DELETE | IN_MOVED_FROM)) {
            const auto it = listing.find(folded);
            // Another spelling of the name may remain: only a fresh listing can tell.
            if (it != listing.end() && it->second == name) forget(key);
        }
    }

    std::mutex m_mutex;
    int m_notices;
    std::unordered_map<std::string, Folder> m_folders;
    std::unordered_map<int, std::string> m_byWatch;
    std::size_t m_listingsRead = 0;
};

FolderCache& folderCache() {
    static FolderCache cache;
    return cache;
}

}  // namespace

std::size_t folderListingsRead() {
    return folderCache().listingsRead();
}

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
