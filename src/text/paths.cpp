#include "text/paths.h"

#include "platform/case_insensitive_path.h"

#include <utility>
#include <vector>

namespace quillet {

namespace {

bool isSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The drive part of a "/" separated path: "C:", "//server/share", "/" for any other rooted path,
// else empty. The lone "/" plays the part here that a drive letter plays in the help file's own
// paths, so a rooted and an unrooted path never count as lying on the same drive.
std::u16string_view drivePart(std::u16string_view path) {
    if (path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == u':') return path.substr(0, 2);
    if (path.starts_with(u"//")) {
        const std::size_t serverEnd = path.find(u'/', 2);
        if (serverEnd == std::u16string_view::npos) return path;
        return path.substr(0, path.find(u'/', serverEnd + 1));
    }
    if (path.starts_with(u'/')) return path.substr(0, 1);
    return {};
}

// The folder names between the drive and the file name; empty names ("//") are skipped.
std::vector<std::u16string_view> folderNames(std::u16string_view path) {
    path.remove_prefix(drivePart(path).size());
    const std::size_t lastSlash = path.rfind(u'/');
    std::vector<std::u16string_view> names;
    if (lastSlash == std::u16string_view::npos) return names;
    std::size_t start = 0;
    while (start < lastSlash) {
        const std::size_t end = path.find(u'/', start);
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::u16string_view fileName(std::u16string_view path) {
    const std::size_t lastSlash = path.rfind(u'/');
    return lastSlash == std::u16string_view::npos ? path : path.substr(lastSlash + 1);
}

bool equalIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

// Lower-cased text from the last ".", or empty. A "/" after the last "." leaves text that can
// never be ".htm" or ".html", so the folder part needs no separate treatment.
std::u16string extensionOf(std::u16string_view name) {
    const std::size_t dot = name.rfind(u'.');
    return dot == std::u16string_view::npos ? std::u16string() : foldCase(name.substr(dot));
}

bool isPageExtension(std::u16string_view ext) {
    return ext == u".htm" || ext == u".html";
}

}  // namespace

std::u16string SlashToBackslash(std::u16string_view Url) {
    std::u16string path(Url);
    for (char16_t& c : path)
        if (c == u'\\') c = u'/';
    return path;
}

std::u16string NormalizePath(std::u16string_view Path) {
    std::u16string text;
    text.reserve(Path.size());
    for (std::size_t i = 0; i < Path.size(); ++i) {
        if (Path.substr(i, 3) == u"%20") {
            text += u' ';
            i += 2;
        } else {
            text += isSeparator(Path[i]) ? u'/' : Path[i];
        }
    }

    // Each segment runs up to and including its "/"; the last one may lack it.
    std::vector<std::u16string_view> segments;
    const std::u16string_view view(text);
    for (std::size_t start = 0; start < view.size();) {
        const std::size_t slash = view.find(u'/', start);
        const std::size_t end = slash == std::u16string_view::npos ? view.size() : slash + 1;
        segments.push_back(view.substr(start, end - start));
        start = end;
    }

    // Walking backwards, each ".." step is known before the folder it cancels. A leading "/" is
    // the file-system root of an absolute path and stays (it cannot be climbed out of either);
    // dropping it like the other empty segments would make every absolute path relative.
    std::vector<std::u16string_view> kept;
    int skip = 0;
    for (std::size_t i = segments.size(); i-- > 0;) {
        const std::u16string_view segment = segments[i];
        const bool isRoot = i == 0 && segment == u"/";
        if (segment == u"../") {
            ++skip;
        } else if (!isRoot && (segment == u"./" || segment == u"/")) {
            continue;
        } else if (!isRoot && skip > 0) {
            --skip;
        } else {
            kept.push_back(segment);
        }
    }

    std::u16string result;
    result.reserve(text.size());
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) result += *it;
    return result;
}

std::u16string RelativeUrl(std::u16string_view BaseFile, std::u16string_view TargetFile) {
    const std::u16string base = SlashToBackslash(BaseFile);
    std::u16string target = SlashToBackslash(TargetFile);
    if (!equalIgnoringCase(drivePart(base), drivePart(target))) return target;

    const std::vector<std::u16string_view> baseFolders = folderNames(base);
    const std::vector<std::u16string_view> targetFolders = folderNames(target);
    std::size_t common = 0;
    while (common < baseFolders.size() && common < targetFolders.size() &&
           equalIgnoringCase(baseFolders[common], targetFolders[common]))
        ++common;

    std::u16string result;
    for (std::size_t i = common; i < baseFolders.size(); ++i) result += u"../";
    for (std::size_t i = common; i < targetFolders.size(); ++i) {
        result += targetFolders[i];
        result += u'/';
    }
    result += fileName(target);
    return result;
}

void SplitUrlAnchor(std::u16string_view Url, std::u16string& Page, std::u16string& Anchor) {
    // Built apart first: Url may be a view of Page or Anchor.
    std::u16string page(Url);
    std::u16string anchor;
    if (const std::size_t hash = Url.find(u'#'); hash != std::u16string_view::npos) {
        const std::u16string_view rest = Url.substr(hash + 1);
        const std::u16string_view before = Url.substr(0, hash);
        const std::u16string_view fragment = rest.substr(0, rest.find(u'#'));
        // "C#Guide.htm": a "#" in a page's file name, not a fragment.
        if (!isPageExtension(extensionOf(fragment)) || isPageExtension(extensionOf(before))) {
            page.assign(before);
            anchor.assign(fragment);
        }
    }
    Page = std::move(page);
    Anchor = std::move(anchor);
}

bool IsOutOfRootfolder(std::u16string_view url, std::u16string_view rootFolder) {
    const std::u16string path = NormalizePath(url);
    if (path.size() < rootFolder.size()) return true;
    return !equalIgnoringCase(std::u16string_view(path).substr(0, rootFolder.size()), rootFolder);
}

}  // namespace quillet
