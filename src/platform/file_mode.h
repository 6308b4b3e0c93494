// The mode and owner a file keeps when a new one replaces it, as editors keep them.
#pragma once

#include <filesystem>

namespace quillet {

// Gives `replacement`, about to be renamed over `replaced`, the permission bits of `replaced`
// and, where this user may set them, its owner and group. Returns false, changing nothing, when
// `replaced` is no regular file (a new output keeps the mode it has).
bool keepModeOf(const std::filesystem::path& replaced, const std::filesystem::path& replacement);

}  // namespace quillet
