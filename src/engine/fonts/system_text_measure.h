// Measures of fonts other than the process's own: a fontconfig configuration of the caller's,
// for tests that need a machine with fewer fonts (or none) than this one.
#pragma once

#include "engine/fonts/text_measure.h"

#include <filesystem>
#include <memory>

namespace quillet::engine::fonts {

// A measure like systemTextMeasure() over the fonts that the fontconfig file `fontconfigFile`
// names (a file without <dir> gives a machine without fonts, measured at average widths).
// Throws std::runtime_error when the file cannot be read.
std::unique_ptr<TextMeasure> newTextMeasure(const std::filesystem::path& fontconfigFile);

}  // namespace quillet::engine::fonts
