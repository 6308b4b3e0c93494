// Makes the document engine (and its web-page reader, when built) the program's Word: call once
// before the first conversion.
#pragma once

namespace quillet::ui {

void registerEngines();

}  // namespace quillet::ui
