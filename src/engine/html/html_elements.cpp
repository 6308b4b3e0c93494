#include "engine/html/html_elements.h"

#include "platform/ascii.h"

#include <algorithm>

namespace quillet::engine::html {

namespace {

constexpr std::string_view kDefaultCss = R"(
address, cite, dfn, em, i, var { font-style: italic }
b, strong, th { font-weight: bold }
u, ins { text-decoration: underline }
s, strike, del { text-decoration: line-through }
sup { vertical-align: super }
sub { vertical-align: sub }
tt, code, kbd, samp, pre, xmp, listing, plaintext { font-family: "Courier New" }
pre, xmp, listing, plaintext { white-space: pre }
big { font-size: larger }
small { font-size: smaller }
center, th, caption { text-align: center }
blockquote { margin-left: 30pt; margin-right: 30pt }
dd { margin-left: 30pt }
ul, ol, dir, menu { margin-left: 18pt }
)";

}  // namespace

bool isLeftOut(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_HEAD:
        case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_STYLE:
        case GUMBO_TAG_TITLE:
        case GUMBO_TAG_NOSCRIPT:
        case GUMBO_TAG_TEMPLATE:
        case GUMBO_TAG_OBJECT:
        case GUMBO_TAG_EMBED:
        case GUMBO_TAG_APPLET:
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_FRAME:
        case GUMBO_TAG_FRAMESET:
        case GUMBO_TAG_NOFRAMES:
        case GUMBO_TAG_INPUT:
        case GUMBO_TAG_SELECT:
        case GUMBO_TAG_TEXTAREA:
        case GUMBO_TAG_BUTTON:
        case GUMBO_TAG_OPTION:
        case GUMBO_TAG_OPTGROUP:
        case GUMBO_TAG_DATALIST:
        case GUMBO_TAG_SVG:
        case GUMBO_TAG_CANVAS:
        case GUMBO_TAG_MAP:
        case GUMBO_TAG_PARAM:
        case GUMBO_TAG_META:
        case GUMBO_TAG_LINK:
        case GUMBO_TAG_BASE:
        case GUMBO_TAG_AUDIO:
        case GUMBO_TAG_VIDEO:
        case GUMBO_TAG_KEYGEN:
            return true;
        default:
            return false;
    }
}

Display defaultDisplay(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_ADDRESS:
        case GUMBO_TAG_ARTICLE:
        case GUMBO_TAG_ASIDE:
        case GUMBO_TAG_BLOCKQUOTE:
        case GUMBO_TAG_BODY:
        case GUMBO_TAG_CENTER:
        case GUMBO_TAG_DD:
        case GUMBO_TAG_DETAILS:
        case GUMBO_TAG_DIR:
        case GUMBO_TAG_DIV:
        case GUMBO_TAG_DL:
        case GUMBO_TAG_DT:
        case GUMBO_TAG_FIELDSET:
        case GUMBO_TAG_FIGCAPTION:
        case GUMBO_TAG_FIGURE:
        case GUMBO_TAG_FOOTER:
        case GUMBO_TAG_FORM:
        case GUMBO_TAG_H1:
        case GUMBO_TAG_H2:
        case GUMBO_TAG_H3:
        case GUMBO_TAG_H4:
        case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
        case GUMBO_TAG_HEADER:
        case GUMBO_TAG_HGROUP:
        case GUMBO_TAG_HR:
        case GUMBO_TAG_HTML:
        case GUMBO_TAG_LEGEND:
        case GUMBO_TAG_LISTING:
        case GUMBO_TAG_MAIN:
        case GUMBO_TAG_MENU:
        case GUMBO_TAG_NAV:
        case GUMBO_TAG_OL:
        case GUMBO_TAG_P:
        case GUMBO_TAG_PLAINTEXT:
        case GUMBO_TAG_PRE:
        case GUMBO_TAG_SECTION:
        case GUMBO_TAG_SUMMARY:
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_UL:
        case GUMBO_TAG_XMP:
        case GUMBO_TAG_CAPTION:
        case GUMBO_TAG_TR:
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_TFOOT:
            return Display::Block;
        case GUMBO_TAG_LI:
            return Display::ListItem;
        default:
            return Display::Inline;
    }
}

int headingLevel(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_H1:
            return 1;
        case GUMBO_TAG_H2:
            return 2;
        case GUMBO_TAG_H3:
            return 3;
        case GUMBO_TAG_H4:
            return 4;
        case GUMBO_TAG_H5:
            return 5;
        case GUMBO_TAG_H6:
            return 6;
        default:
            return 0;
    }
}

std::string_view defaultStyleSheet() {
    return kDefaultCss;
}

std::string tagName(const GumboElement& e) {
    if (e.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(e.tag);
    GumboStringPiece piece = e.original_tag;
    gumbo_tag_from_original_text(&piece);
    return lowerAscii(std::string_view(piece.data, piece.length));
}

std::string attribute(const GumboElement& e, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
    return a ? std::string(a->value) : std::string();
}

bool hasAttribute(const GumboElement& e, const char* name) {
    return gumbo_get_attribute(&e.attributes, name) != nullptr;
}

std::optional<int> integerAttribute(const GumboElement& e, const char* name, int low, int high) {
    const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
    if (!a) return std::nullopt;
    const std::string_view v = a->value;
    std::size_t i = v.find_first_not_of(" \t\n\f\r");
    if (i == std::string_view::npos) return std::nullopt;
    const bool negative = v[i] == '-';
    if (v[i] == '-' || v[i] == '+') ++i;
    if (i == v.size() || v[i] < '0' || v[i] > '9') return std::nullopt;
    constexpr long long kCap = 1LL << 40;  // beyond any bound, and far from overflowing
    long long n = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i)
        n = std::min(n * 10 + (v[i] - '0'), kCap);
    return static_cast<int>(
        std::clamp(negative ? -n : n, static_cast<long long>(low), static_cast<long long>(high)));
}

void sizeAttribute(const std::string& value, std::optional<double>& points,
                   std::optional<double>& percent) {
    const std::string_view v = trim(value);
    if (v.empty()) return;
    if (v.back() == '%') {
        if (auto p = parseLength(v, 12, 100.0)) percent = *p;
        return;
    }
    if (auto p = parseLength(
            std::string(v) +
                (v.find_first_not_of("0123456789.") == std::string_view::npos ? "px" : ""),
            12))
        points = *p;
}

ElementKey elementKey(const GumboNode* node) {
    const GumboElement& e = node->v.element;
    ElementKey k;
    k.tag = tagName(e);
    k.id = attribute(e, "id");
    const std::string cls = attribute(e, "class");
    for (std::string& c : splitValue(cls)) k.classes.push_back(std::move(c));
    k.isLink = e.tag == GUMBO_TAG_A && hasAttribute(e, "href");
    for (unsigned i = 0; i < e.attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
        const std::string_view name = a->name;
        if (name != "style") k.attributes.emplace_back(lowerAscii(name), a->value);
    }
    k.firstChild = true;
    for (const GumboNode* n = node; n->parent && n->index_within_parent > 0;) {
        const GumboVector& siblings = n->parent->type == GUMBO_NODE_DOCUMENT
                                          ? n->parent->v.document.children
                                          : n->parent->v.element.children;
        n = static_cast<const GumboNode*>(siblings.data[n->index_within_parent - 1]);
        if (n->type == GUMBO_NODE_ELEMENT) {
            k.firstChild = false;
            break;
        }
    }
    return k;
}

}  // namespace quillet::engine::html
