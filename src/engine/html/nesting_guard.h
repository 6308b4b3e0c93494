// The HTML parser checks the stack of open elements at many tags, so a page nested a hundred
// thousand elements deep takes it time in the square of its depth. Such a page is flattened
// first: the tags of elements opened beyond a depth no page needs are taken out, their text kept.
// It also checks each attribute of a tag against the ones before it, so a tag with a hundred
// thousand attributes takes it time in their square: a tag's attributes beyond a number no page
// needs are taken out of its text before the parse.
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

// More attributes than this in one tag are not read.
inline constexpr int kMaxAttributes = 256;

// `html` with the attributes of each tag after its first `maxAttributes` taken out of the tag's
// text, as the parser would tokenize it (values in quotes may hold ">" and "="); nothing when no
// tag has more. Comments and the content of scripts, style sheets and other raw text are left.
std::optional<std::string> dropExcessAttributes(std::string_view html,
                                                int maxAttributes = kMaxAttributes);

}  // namespace quillet::engine::html
