// Where a conversion may read and write: inside its working folder, and nowhere else. Help files
// come from strangers; an address in one ("/../../etc/passwd", "%2e%2e/x", a link that points
// out) must never lead a page read or a page write outside the folder it was unpacked into.
// This module judges paths; it does not read or write files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// `path` with "\" read as "/" and its "." and ".." steps taken, when it lies inside `folder` (or
// is that folder); nothing when it leads out of it. A path leads out when, taken as written or
// with its "%XX" escapes decoded (a later reader may decode them), its steps climb above
// `folder`, when it is an absolute path elsewhere, when it holds a NUL, or when a symbolic link
// on the way (the existing file it names without regard to letter case included) resolves to a
// place outside. A relative `path` is taken from the current folder, as the file system would.
// The result is "/" separated; `folder` may end in "/" or not.
std::optional<std::u16string> pathInsideFolder(std::u16string_view path,
                                               std::u16string_view folder);

// Where a path inside the folder leads: what pathInsideFolder gives, and what is there.
struct ConfinedPath {
    std::u16string path;                         // as pathInsideFolder gives it
    std::optional<std::filesystem::path> found;  // the existing entry, named as it is on disk
    bool regularFile = false;                    // `found` is a regular file
    bool throughLink = false;                    // a symbolic link (staying inside) leads there
};

// pathInsideFolder and the look-up of the entry the path names in one: nothing when `path` leads
// out of `folder`. The entry is found as fileInsideFolder finds it, but may be of any kind; for
// the common path that names an entry as spelled, without links, this costs one status query per
// component below `folder` and nothing more.
std::optional<ConfinedPath> locateInsideFolder(std::u16string_view path,
                                               std::u16string_view folder);

// The existing regular file that `path` names inside `folder`, found without regard to letter
// case (so named as it is on disk); nothing when `path` leads out of `folder`, names nothing, or
// names a folder or other non-file.
std::optional<std::u16string> fileInsideFolder(std::u16string_view path,
                                               std::u16string_view folder);

// "%XX" escapes decoded as UTF-8 bytes; malformed ones stay as they are.
std::u16string percentDecode(std::u16string_view text);

}  // namespace quillet
