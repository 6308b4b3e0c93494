// The HTML parser checks the stack of open elements at many tags, so a page nested a hundred
// thousand elements deep takes it time in the square of its depth. Such a page is flattened
// first: the tags of elements opened beyond a depth no page needs are taken out, their text kept.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet::engine::html {

// Deeper than this the page reader reads elements as their text anyway.
inline constexpr int kMaxParseDepth = 512;

// `html` without the start and end tags of the elements opened deeper than `maxDepth`; nothing
// when no element is that deep. Elements whose end tag HTML lets authors leave out (p, li, td...)
// and empty elements are not counted, so unclosed ones do not add up.
std::optional<std::string> flattenDeepNesting(std::string_view html, int maxDepth = kMaxParseDepth);

}  // namespace quillet::engine::html
