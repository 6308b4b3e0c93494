// Where an entry of a help file's directory goes in the output folder. Names come from the file
// and may be hostile; a name is either placed strictly inside the folder or refused. Nothing here
// touches the file system, so links already in the folder are the caller's concern.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillet {

enum class EntryKind {
    File,      // unpack to `path`
    Folder,    // a folder entry ("/", "/images/"): folders appear as files need them
    Internal,  // the help system's own data ("#SYSTEM", "$WWKeywordLinks/...", "::DataSpace/...")
    Refused,   // would land outside the folder, or cannot be a file name; `reason` says why
};

struct EntryPath {
    EntryKind kind = EntryKind::Refused;
    std::filesystem::path path;  // for File: relative, no "." or ".." parts, never empty
    std::string reason;          // for Refused
};

// Maps a directory entry name, UTF-8 bytes as stored ("/html/a b.htm"), to its place. The leading
// "/" stands for the output folder. Refused: a second leading slash or backslash (an absolute
// path), a drive letter ("C:"), a ".." part between slashes or backslashes, or a part longer than
// a file name may be, or a control character (below 0x20, or 0x7F). Other bytes, backslashes
// included, are kept as they are.
EntryPath classifyEntry(std::string_view name);

}  // namespace quillet
