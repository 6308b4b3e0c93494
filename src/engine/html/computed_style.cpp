#include "engine/html/computed_style.h"

#include "engine/html/list_markers.h"
#include "platform/ascii.h"
#include "platform/utf.h"
#include "text/east_asian_fonts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace quillet::engine::html {

namespace {

// The `lang` attribute as a property: inherited as the style is, and never in a style sheet.
constexpr const char* kLanguageProperty = "-quillet-lang";

// A font name that carries Chinese, Japanese or Korean glyphs: one written in those scripts, or
// one of the common ones with a Latin name.
bool isEastAsianFont(std::u16string_view name) {
    for (char16_t c : name)
        if (c >= 0x2E80) return true;
    static const std::unordered_set<std::string> kFonts = {"simsun",
                                                           "nsimsun",
                                                           "simhei",
                                                           "kaiti",
                                                           "kaiti_gb2312",
                                                           "fangsong",
                                                           "fangsong_gb2312",
                                                           "microsoft yahei",
                                                           "microsoft jhenghei",
                                                           "mingliu",
                                                           "pmingliu",
                                                           "dfkai-sb",
                                                           "ms gothic",
                                                           "ms pgothic",
                                                           "ms mincho",
                                                           "ms pmincho",
                                                           "ms ui gothic",
                                                           "meiryo",
                                                           "yu gothic",
                                                           "yu mincho",
                                                           "gulim",
                                                           "gulimche",
                                                           "batang",
                                                           "batangche",
                                                           "dotum",
                                                           "dotumche",
                                                           "gungsuh",
                                                           "malgun gothic",
                                                           "arial unicode ms",
                                                           "songti sc",
                                                           "heiti sc",
                                                           "pingfang sc",
                                                           "noto sans cjk sc",
                                                           "noto serif cjk sc",
                                                           "wenquanyi micro hei",
                                                           "ar pl uming cn"};
    return kFonts.contains(lowerAscii(toUtf8(name)));
}

}  // namespace

void expand(const Declaration& d, std::vector<Property>& out) {
    auto boxSides = [&](const std::string& prefix, const std::string& suffix) {
        const std::vector<std::string> v = splitValue(d.value);
        if (v.empty() || v.size() > 4) return;
        const std::string& top = v[0];
        const std::string& right = v.size() > 1 ? v[1] : v[0];
        const std::string& bottom = v.size() > 2 ? v[2] : v[0];
        const std::string& left = v.size() > 3 ? v[3] : right;
        out.emplace_back(prefix + "-top" + suffix, top);
        out.emplace_back(prefix + "-right" + suffix, right);
        out.emplace_back(prefix + "-bottom" + suffix, bottom);
        out.emplace_back(prefix + "-left" + suffix, left);
    };
    if (d.name == "margin" || d.name == "padding") {
        boxSides(d.name, "");
    } else if (d.name == "font") {
        const std::vector<std::string> parts = splitValue(d.value);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const std::string p = lowerAscii(parts[i]);
            if (p == "italic" || p == "oblique") {
                out.emplace_back("font-style", p);
            } else if (p == "bold" || p == "bolder" || p == "lighter" ||
                       (p.size() == 3 && p[1] == '0' && p[2] == '0')) {
                out.emplace_back("font-weight", p);
            } else if (p == "normal" || p == "small-caps") {
                continue;
            } else {
                const std::string size = p.substr(0, p.find('/'));
                out.emplace_back("font-size", size);
                std::string family;
                for (std::size_t j = i + 1; j < parts.size(); ++j)
                    family += (family.empty() ? "" : " ") + parts[j];
                if (!family.empty()) out.emplace_back("font-family", family);
                break;
            }
        }
    } else if (d.name == "background") {
        for (const std::string& p : splitValue(d.value)) {
            const std::string lower = lowerAscii(p);
            if (lower == "none" || lower == "transparent")
                out.emplace_back("background-color", "transparent");
            else if (parseColor(p))
                out.emplace_back("background-color", p);
        }
    } else if (d.name == "border" || d.name == "border-width") {
        for (const std::string& p : splitValue(d.value)) {
            const std::string lower = lowerAscii(p);
            if (lower == "none" || lower == "hidden")
                out.emplace_back("border-width", "0");
            else if (lower == "thin")
                out.emplace_back("border-width", "1px");
            else if (lower == "medium")
                out.emplace_back("border-width", "3px");
            else if (lower == "thick")
                out.emplace_back("border-width", "5px");
            else if (parseLength(p, 12))
                out.emplace_back("border-width", p);
            else
                continue;
            if (d.name == "border-width") break;
        }
    } else if (d.name == "list-style") {
        // Its position and image are of no use here; "none" names the type only when no other
        // word does ("disc outside none" is a disc without an image).
        std::string type;
        for (const std::string& p : splitValue(d.value)) {
            const std::string t = listStyleType(p);
            if (!t.empty() && (type.empty() || type == "none")) type = t;
        }
        if (!type.empty()) out.emplace_back("list-style-type", type);
    } else {
        out.emplace_back(d.name, d.value);
    }
}

void presentationalHints(const GumboElement& e, std::vector<Property>& props) {
    // The language of the element's text, carried as a property of our own.
    if (hasAttribute(e, "lang")) props.emplace_back(kLanguageProperty, attribute(e, "lang"));
    if (e.tag == GUMBO_TAG_FONT) {
        if (hasAttribute(e, "face")) props.emplace_back("font-family", attribute(e, "face"));
        if (auto size = fontSizeAttribute(attribute(e, "size")))
            props.emplace_back("font-size", std::to_string(*size) + "pt");
        if (hasAttribute(e, "color")) props.emplace_back("color", attribute(e, "color"));
    }
    if (hasAttribute(e, "align") && e.tag != GUMBO_TAG_IMG && e.tag != GUMBO_TAG_TABLE)
        props.emplace_back("text-align", attribute(e, "align"));
    if (hasAttribute(e, "bgcolor") && e.tag != GUMBO_TAG_BODY)
        props.emplace_back("background-color", attribute(e, "bgcolor"));
    if (hasAttribute(e, "nowrap")) props.emplace_back("white-space", "nowrap");
    if ((e.tag == GUMBO_TAG_OL || e.tag == GUMBO_TAG_UL || e.tag == GUMBO_TAG_LI) &&
        hasAttribute(e, "type")) {
        const std::string type = listTypeAttribute(attribute(e, "type"));
        if (!type.empty()) props.emplace_back("list-style-type", type);
    }
    if (e.tag == GUMBO_TAG_TABLE && hasAttribute(e, "border")) {
        const std::string b = std::string(trim(attribute(e, "border")));
        props.emplace_back(
            "border-width",
            b.empty() ? "1px"
                      : b + (b.find_first_not_of("0123456789") == std::string::npos ? "px" : ""));
    }
}

std::vector<Property> cascade(const GumboElement& e, const std::vector<ElementKey>& path,
                              const StyleSheetSet& defaults, const StyleSheetSet& sheets) {
    std::vector<Property> props;
    auto addAll = [&](const std::vector<Declaration>& ds, bool important) {
        for (const Declaration& d : ds)
            if (d.important == important) expand(d, props);
    };
    for (const Rule* r : defaults.matching(path)) addAll(*r->declarations, false);
    presentationalHints(e, props);
    const std::vector<const Rule*> rules = sheets.matching(path);
    for (const Rule* r : rules) addAll(*r->declarations, false);
    std::vector<Declaration> inlineStyle;
    if (const GumboAttribute* a = gumbo_get_attribute(&e.attributes, "style"))
        inlineStyle = parseDeclarations(a->value);
    addAll(inlineStyle, false);
    for (const Rule* r : rules) addAll(*r->declarations, true);
    addAll(inlineStyle, true);
    return props;
}

Computed computeStyle(const std::vector<Property>& properties, const Computed& parent,
                      Display display) {
    std::unordered_map<std::string, std::string> value;
    for (const auto& [name, v] : properties) value[name] = v;
    auto get = [&](const char* name) -> const std::string* {
        const auto it = value.find(name);
        if (it == value.end() || lowerAscii(it->second) == "inherit") return nullptr;
        return &it->second;
    };

    Computed c;
    c.chars = parent.chars;
    c.chars.charStyle.clear();
    c.align = parent.align;
    c.textIndent = parent.textIndent;
    c.pre = parent.pre;
    c.noWrap = parent.noWrap;
    c.listStyle = parent.listStyle;
    c.indent = parent.indent;
    c.rightIndent = parent.rightIndent;
    c.blockShading = parent.blockShading;
    c.lineHeightFactor = parent.lineHeightFactor;
    c.lineHeightPoints = parent.lineHeightPoints;
    c.display = display;

    const double parentSize = parent.chars.size.value_or(12);
    double size = parentSize;
    if (const std::string* v = get("font-size"))
        if (auto s = parseFontSize(*v, parentSize)) c.chars.size = size = *s;
    if (const std::string* v = get(kLanguageProperty))
        if (const EastAsianScript* script = eastAsianScriptOfTag(*v)) {
            c.chars.eastAsiaFont = std::u16string(script->font);
            c.chars.eastAsiaLanguage = std::u16string(script->tag);
        }
    if (const std::string* v = get("font-family")) {
        const std::vector<std::u16string> families = parseFontFamilies(*v);
        if (!families.empty()) c.chars.font = families.front();
        for (const std::u16string& f : families)
            if (isEastAsianFont(f)) {
                c.chars.eastAsiaFont = f;
                break;
            }
    }
    if (const std::string* v = get("font-weight")) {
        const std::string w = lowerAscii(*v);
        if (w == "bold" || w == "bolder" || w == "600" || w == "700" || w == "800" || w == "900")
            c.chars.bold = true;
        else if (w == "normal" || w == "lighter" || (w.size() == 3 && w[0] >= '1' && w[0] <= '5'))
            c.chars.bold = false;
    }
    if (const std::string* v = get("font-style")) {
        const std::string s = lowerAscii(*v);
        if (s == "italic" || s == "oblique")
            c.chars.italic = true;
        else if (s == "normal")
            c.chars.italic = false;
    }
    if (const std::string* v = get("text-decoration")) {
        const std::string s = lowerAscii(*v);
        if (s.find("none") != std::string::npos) {
            c.chars.underline = 0;
            c.chars.strike = false;
        }
        if (s.find("underline") != std::string::npos) c.chars.underline = 1;
        if (s.find("line-through") != std::string::npos) c.chars.strike = true;
    }
    if (const std::string* v = get("color"))
        if (auto color = parseColor(*v)) c.chars.color = *color;
    if (const std::string* v = get("vertical-align")) {
        const std::string s = lowerAscii(*v);
        if (s == "super")
            c.chars.verticalAlign = 1;
        else if (s == "sub")
            c.chars.verticalAlign = 2;
        else if (s == "baseline")
            c.chars.verticalAlign = 0;
    }
    if (const std::string* v = get("background-color")) c.background = parseColor(*v);
    if (const std::string* v = get("text-align"))
        if (auto a = alignmentOf(*v)) c.align = a;
    if (const std::string* v = get("text-indent")) c.textIndent = parseLength(*v, size);
    if (const std::string* v = get("line-height")) {
        const std::string s = lowerAscii(trim(*v));
        double factor = 0;
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), factor);
        if (s == "normal") {
            c.lineHeightFactor.reset();
            c.lineHeightPoints.reset();
        } else if (error == std::errc() && end == s.data() + s.size() && std::isfinite(factor)) {
            c.lineHeightFactor = std::clamp(factor, 0.5, 10.0);  // a number: inherited as such
            c.lineHeightPoints.reset();
        } else if (s.ends_with("%")) {
            if (const auto p = parseLength(s, size, 100.0)) {
                c.lineHeightPoints = std::clamp(*p * size / 100, 1.0, kMaxLength);
                c.lineHeightFactor.reset();
            }
        } else if (const auto l = parseLength(s, size)) {
            c.lineHeightPoints = std::clamp(*l, 1.0, kMaxLength);
            c.lineHeightFactor.reset();
        }
    }
    if (const std::string* v = get("white-space")) {
        const std::string s = lowerAscii(*v);
        c.pre = s == "pre" || s == "pre-wrap" || s == "pre-line";
        c.noWrap = s == "nowrap" || s == "pre";
    }
    if (const std::string* v = get("list-style-type"))
        if (std::string type = listStyleType(*v); !type.empty()) c.listStyle = std::move(type);
    if (const std::string* v = get("display")) {
        const std::string s = lowerAscii(*v);
        if (s == "none")
            c.display = Display::None;
        else if (s == "inline" || s == "inline-block")
            c.display = Display::Inline;
        else if (s == "list-item")
            c.display = Display::ListItem;
        else if (s == "block" || s.starts_with("table") || s == "flex" || s == "grid") {
            if (c.display == Display::Inline) c.display = Display::Block;
        }
    }
    if (const std::string* v = get("margin-top")) c.marginTop = parseLength(*v, size);
    if (const std::string* v = get("margin-bottom")) c.marginBottom = parseLength(*v, size);
    if (const std::string* v = get("width")) {
        c.width = parseLength(*v, size);
        if (!c.width && trim(*v).ends_with("%")) c.widthPercent = parseLength(*v, size, 100.0);
    }
    if (const std::string* v = get("height")) c.height = parseLength(*v, size);
    if (const std::string* v = get("border-width")) c.borderWidth = parseLength(*v, size);
    if (c.display != Display::Inline) {
        double left = 0;
        for (const char* name : {"margin-left", "padding-left"})
            if (const std::string* v = get(name))
                if (auto l = parseLength(*v, size)) left += *l;
        double right = 0;
        for (const char* name : {"margin-right", "padding-right"})
            if (const std::string* v = get(name))
                if (auto r = parseLength(*v, size)) right += *r;
        c.indent = std::clamp(c.indent + left, -kMaxLength, kMaxLength);
        c.rightIndent = std::clamp(c.rightIndent + right, -kMaxLength, kMaxLength);
        if (c.background) c.blockShading = c.background;
        if (value.contains("background-color") && !c.background) c.blockShading.reset();
    } else if (c.background) {
        c.chars.shading = c.background;
    }
    return c;
}

std::optional<int> alignmentOf(std::string_view value) {
    const std::string v = lowerAscii(trim(value));
    if (v == "left" || v == "start") return 0;
    if (v == "center" || v == "middle") return 1;
    if (v == "right" || v == "end") return 2;
    if (v == "justify") return 3;
    return std::nullopt;
}

}  // namespace quillet::engine::html
