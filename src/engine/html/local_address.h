// Where a page's references to other files (pictures, style sheets) may lead: only to files inside
// the conversion's working folder. An address that leaves it — an absolute path, a drive or
// network path, any URL scheme such as "file:" or "http:", ".." steps above the folder, or a link
// whose real location lies outside — is never followed.
#pragma once

#include "text/confined_path.h"  // percentDecode, which the page reader uses too

#include <optional>
#include <string>
#include <string_view>

namespace quillet::engine::html {

// The existing file that `address` (as written in the page, "%XX" escapes allowed, "?query" and
// "#fragment" ignored) names relative to `baseFolder`, found without regard to letter case; nothing
// when it does not exist or lies outside `rootFolder`.
std::optional<std::u16string> resolveLocalFile(std::u16string_view address,
                                               const std::u16string& baseFolder,
                                               const std::u16string& rootFolder);

}  // namespace quillet::engine::html
