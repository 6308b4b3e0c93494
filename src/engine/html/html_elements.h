// What page reading knows of HTML elements: left out or not, default display, heading level, the
// default style sheet, attribute values. It styles and lays out nothing: the cascade and walk do.
#pragma once

#include "engine/html/css.h"

#include <gumbo.h>

#include <optional>
#include <string>
#include <string_view>

namespace quillet::engine::html {

// How an element takes part in the layout.
enum class Display { Inline, Block, ListItem, None };

// Elements whose content is no document text: the head, scripts, styles, form controls, objects,
// frames and media.
bool isLeftOut(GumboTag tag);

// How an element is laid out when no style says otherwise.
Display defaultDisplay(GumboTag tag);

// 1 to 6 for <h1> to <h6>, else 0.
int headingLevel(GumboTag tag);

// The defaults of the elements, read with the lowest priority as a browser's own style sheet.
std::string_view defaultStyleSheet();

// The lower-cased tag name, also of an element gumbo does not know.
std::string tagName(const GumboElement& e);

// The attribute's value; empty when the element has none.
std::string attribute(const GumboElement& e, const char* name);
bool hasAttribute(const GumboElement& e, const char* name);

// An integer attribute read as browsers read one (white space, a sign, then digits up to the
// first other character) and clamped to [low, high]; nothing when it holds no number.
std::optional<int> integerAttribute(const GumboElement& e, const char* name, int low, int high);

// A width or height attribute: pixels (a bare number) or another length into `points`, a
// percentage into `percent`. Either is left as it was when the value cannot be read.
void sizeAttribute(const std::string& value, std::optional<double>& points,
                   std::optional<double>& percent);

// What a selector knows of element `node`: its tag, id and classes, whether it is a link and the
// first element among its siblings.
ElementKey elementKey(const GumboNode* node);

}  // namespace quillet::engine::html
