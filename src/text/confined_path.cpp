#include "text/confined_path.h"

#include "platform/case_insensitive_path.h"
#include "platform/utf.h"

#include <filesystem>
#include <system_error>

namespace quillet {

namespace {

namespace fs = std::filesystem;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Absolute, with "\" as "/" and the "." and ".." steps taken on the text alone.
fs::path normalAbsolute(std::u16string_view path, std::error_code& ec) {
    std::u16string slashed(path);
    for (char16_t& c : slashed)
        if (c == u'\\') c = u'/';
    return fs::absolute(toPath(slashed), ec).lexically_normal();
}

// Whether `path` is `folder` or lies below it; both absolute and lexically normal. The empty
// component that a trailing "/" leaves counts for nothing.
bool isInside(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (const fs::path& f : folder) {
        if (f.empty()) continue;
        while (p != path.end() && p->empty()) ++p;
        if (p == path.end() || *p != f) return false;
        ++p;
    }
    return true;
}

// The components of `path` below `folder` (where `path` lies, both normal) as the file system
// has them, taken without following links, up to the first that does not exist as spelled or is
// a symbolic link.
struct Walk {
    bool link = false;      // a symbolic link was met
    bool complete = false;  // `path` names an existing entry below `folder`, reached without links
    fs::file_type type = fs::file_type::none;  // that entry's type, when complete
};

Walk walkBelow(const fs::path& path, const fs::path& folder) {
    Walk walk;
    fs::path at;
    auto p = path.begin();
    for (const fs::path& f : folder) {
        if (f.empty()) continue;
        while (p != path.end() && p->empty()) ++p;
        at /= *p;
        ++p;
    }
    for (; p != path.end(); ++p) {
        if (p->empty()) continue;
        at /= *p;
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(at, ec);
        if (ec || !fs::exists(status)) return walk;
        if (fs::is_symlink(status)) {
            walk.link = true;
            return walk;
        }
        walk.type = status.type();
    }
    // A path that ends in "/" asks for a folder; the file system decides that, not the walk.
    walk.complete = walk.type != fs::file_type::none && path.has_filename();
    return walk;
}

// Whether an existing component of `path` below `folder` (where `path` lies, both normal) is a
// symbolic link. Stops at the first component that does not exist.
bool hasLinkBelow(const fs::path& path, const fs::path& folder) {
    return walkBelow(path, folder).link;
}

ConfinedPath confinedPath(const fs::path& literal, std::optional<fs::path> found,
                          bool throughLink) {
    std::error_code ec;
    const bool regular = found && fs::is_regular_file(*found, ec);
    return ConfinedPath{fromPath(literal), std::move(found), regular, throughLink};
}

}  // namespace

std::u16string percentDecode(std::u16string_view text) {
    if (text.find(u'%') == std::u16string_view::npos) return std::u16string(text);
    const std::string bytes = toUtf8(text);
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '%' && i + 2 < bytes.size()) {
            const int hi = hexDigit(bytes[i + 1]);
            const int lo = hexDigit(bytes[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += bytes[i];
    }
    return fromUtf8(out);
}

std::optional<ConfinedPath> locateInsideFolder(std::u16string_view path,
                                               std::u16string_view folder) {
    if (path.empty() || folder.empty() || path.find(u'\0') != std::u16string_view::npos)
        return std::nullopt;
    std::error_code ec;
    // A path named as the folder plus an address below it: the folder is a name of this machine,
    // taken as it is ("my%20docs", "a\\b" are folder names); only the address is the help
    // file's, with "\\" read as "/" and "%XX" escapes that a reader may decode.
    const bool folderEnds = folder.back() == u'/' || folder.back() == u'\\';
    const bool below = path.size() >= folder.size() && path.substr(0, folder.size()) == folder &&
                       (folderEnds || path.size() == folder.size() ||
                        path[folder.size()] == u'/' || path[folder.size()] == u'\\');
    const std::u16string_view address = below ? path.substr(folder.size()) : path;
    const fs::path root =
        below ? fs::absolute(toPath(std::u16string(folder)), ec).lexically_normal()
              : normalAbsolute(folder, ec);
    if (ec) return std::nullopt;
    const auto resolve = [&](std::u16string_view text) {
        if (!below) return normalAbsolute(text, ec);
        std::u16string relative(text);
        for (char16_t& c : relative)
            if (c == u'\\') c = u'/';
        const std::size_t start = relative.find_first_not_of(u'/');
        return (root / toPath(start == std::u16string::npos ? u"" : relative.substr(start)))
            .lexically_normal();
    };
    const fs::path literal = resolve(address);
    if (ec || !isInside(literal, root)) return std::nullopt;
    // "%2e%2e", "%2f" and "%5c" mean nothing to the file system, but a reader that decodes
    // addresses would climb with them.
    if (address.find(u'%') != std::u16string_view::npos) {
        const std::u16string decoded = percentDecode(address);
        if (decoded.find(u'\0') != std::u16string::npos) return std::nullopt;
        const fs::path unescaped = resolve(decoded);
        if (ec || !isInside(unescaped, root)) return std::nullopt;
    }
    // Symbolic links are followed only where they stay inside. The folder itself is trusted;
    // below it, a path without links needs no resolving. Most paths name an existing entry as
    // spelled: then the walk that looked for links has found it too.
    const Walk walk = walkBelow(literal, root);
    if (walk.complete)
        return ConfinedPath{fromPath(literal), literal, walk.type == fs::file_type::regular, false};
    if (!walk.link) {
        auto found = findExistingPath(literal);
        if (!found || *found == literal || !hasLinkBelow(*found, root))
            return confinedPath(literal, std::move(found), false);
    }
    const fs::path realRoot = fs::weakly_canonical(root, ec);
    if (ec) return std::nullopt;
    const fs::path real = fs::weakly_canonical(literal, ec);
    if (ec || !isInside(real, realRoot)) return std::nullopt;
    auto found = findExistingPath(literal);
    if (found && *found != literal) {
        const fs::path realFound = fs::weakly_canonical(*found, ec);
        if (ec || !isInside(realFound, realRoot)) return std::nullopt;
    }
    return confinedPath(literal, std::move(found), true);
}

std::optional<std::u16string> pathInsideFolder(std::u16string_view path,
                                               std::u16string_view folder) {
    auto located = locateInsideFolder(path, folder);
    if (!located) return std::nullopt;
    return std::move(located->path);
}

std::optional<std::u16string> fileInsideFolder(std::u16string_view path,
                                               std::u16string_view folder) {
    const auto located = locateInsideFolder(path, folder);
    if (!located || !located->regularFile) return std::nullopt;
    return fromPath(*located->found);
}

}  // namespace quillet
