// Conversions between the links inside help topics (URLs with "/", "\", "%20", "..", "#") and
// the paths of the unpacked files, all "/" separated. Pure functions on text: none touches the
// disk.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Url with every "\" turned into "/", this platform's separator (help files written on Windows
// use both in links). Nothing else changes.
std::u16string SlashToBackslash(std::u16string_view Url);

// Path with "\" turned into "/", each "%20" into a blank (one pass: "%2520" stays) and the "."
// and ".." steps collapsed. Surplus ".." steps are dropped without trace; a final ".." without a
// "/" after it stays. Empty segments ("//") are dropped, except that a leading "/" stays once.
std::u16string NormalizePath(std::u16string_view Path);

// TargetFile relative to the folder of BaseFile (a file, whose own name is no folder), with "/"
// between folders, such as "../b/img.gif"; folders compare without regard to letter case. When
// the two lie on different drives ("C:", "//server/share", or "/" for a rooted path) the result
// is TargetFile with "/" separators.
std::u16string RelativeUrl(std::u16string_view BaseFile, std::u16string_view TargetFile);

// Splits Url at its first "#" into Page and Anchor; text after a second "#" is dropped. When the
// Anchor ends in ".htm" or ".html" (any case) and Page does not, the "#" is part of a file name:
// Page is the whole Url and Anchor empty. Without "#", Page is Url and Anchor empty.
void SplitUrlAnchor(std::u16string_view Url, std::u16string& Page, std::u16string& Anchor);

// True when NormalizePath(url) does not begin with rootFolder, compared without regard to letter
// case; a path shorter than rootFolder is outside. rootFolder is taken as it is (ending in "/").
bool IsOutOfRootfolder(std::u16string_view url, std::u16string_view rootFolder);

}  // namespace quillet
