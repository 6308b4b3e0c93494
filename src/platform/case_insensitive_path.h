// Finding files in an unpacked help project the way the file system they were written for did:
// without regard to letter case. A link to "Images/Logo.GIF" finds "images/logo.gif".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The existing file or folder that `path` names when each component is matched without regard
// to letter case; the exact spelling wins when it exists. Nothing when no such entry exists.
// Folder listings are cached and kept current by the kernel's change notices, so files created
// or removed since are seen without listing the folder again; where notices are not to be had,
// a miss lists the folder again. Safe to call from several threads.
std::optional<std::filesystem::path> findExistingPath(const std::filesystem::path& path);

// How many folder listings findExistingPath has read so far in this process: what a lookup
// costs, for tests that check that a run of lookups does not list one folder again and again.
std::size_t folderListingsRead();

// The letter-case folding that findExistingPath and path comparisons share: upper-case letters
// of ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic become lower case, the Greek final
// sigma becomes sigma; every other unit is returned unchanged. Two names are "equal without
// regard to case" when their folded texts are equal.
char16_t foldCase(char16_t c);
std::u16string foldCase(std::u16string_view text);

}  // namespace quillet
