// The engine's clipboard: what Range.Copy took and Range.Paste inserts, shared by every document
// of every engine application in this process (not the desktop's clipboard). Thread-safe.
#pragma once

#include "engine/fragment.h"

#include <optional>

namespace quillet::engine {

void setClipboard(Fragment content);
// The last content copied, or nothing when no copy has been made (or after clearClipboard).
std::optional<Fragment> clipboardContent();
void clearClipboard();

}  // namespace quillet::engine
