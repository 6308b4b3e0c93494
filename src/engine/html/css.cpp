#include "engine/html/css.h"

#include "engine/stop_check.h"
#include "platform/ascii.h"
#include "platform/utf.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quillet::engine::html {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

// Removes /* comments */, which may stand anywhere between tokens.
std::string stripComments(std::string_view css) {
    std::string out;
    out.reserve(css.size());
    for (std::size_t i = 0; i < css.size();) {
        if (css[i] == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const std::size_t end = css.find("*/", i + 2);
            if (end == std::string_view::npos) break;
            i = end + 2;
            out += ' ';
        } else {
            out += css[i++];
        }
    }
    return out;
}

// Where each block of a style sheet ends, found in one pass over it: for the "{" at a position,
// the "}" that closes it, the first one after it that leaves as many "}" as "{" between them.
class BlockEnds {
public:
    explicit BlockEnds(std::string_view css) {
        std::vector<std::size_t> unclosed;  // indexes into m_opens
        for (std::size_t i = 0; i < css.size(); ++i) {
            if (css[i] == '{') {
                unclosed.push_back(m_opens.size());
                m_opens.push_back(i);
                m_closes.push_back(std::string_view::npos);
            } else if (css[i] == '}' && !unclosed.empty()) {
                m_closes[unclosed.back()] = i;
                unclosed.pop_back();
            }
        }
    }

    // The position of the "}" that closes the block opened at `open`; npos when none does.
    std::size_t closeOf(std::size_t open) const {
        const auto found = std::lower_bound(m_opens.begin(), m_opens.end(), open);
        if (found == m_opens.end() || *found != open) return std::string_view::npos;
        return m_closes[static_cast<std::size_t>(found - m_opens.begin())];
    }

private:
    std::vector<std::size_t> m_opens;   // each "{", in order
    std::vector<std::size_t> m_closes;  // the "}" that closes it, or npos
};

// The inside of "[...]": a name, then perhaps an operator, a value (quoted or not) and "i".
std::optional<AttributeTest> parseAttributeTest(std::string_view text) {
    AttributeTest t;
    std::size_t i = 0;
    const auto skipSpace = [&] {
        while (i < text.size() && isSpace(text[i])) ++i;
    };
    skipSpace();
    const std::size_t nameStart = i;
    while (i < text.size() && isNameChar(text[i])) ++i;
    t.name = lowerAscii(text.substr(nameStart, i - nameStart));
    if (t.name.empty()) return std::nullopt;
    skipSpace();
    if (i == text.size()) return t;
    if (text[i] == '=') {
        t.op = '=';
        ++i;
    } else if (i + 1 < text.size() && text[i + 1] == '=' &&
               std::string_view("~|^$*").find(text[i]) != std::string_view::npos) {
        t.op = text[i];
        i += 2;
    } else {
        return std::nullopt;
    }
    skipSpace();
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
        const char quote = text[i++];
        const std::size_t end = text.find(quote, i);
        if (end == std::string_view::npos) return std::nullopt;
        t.value = std::string(text.substr(i, end - i));
        i = end + 1;
    } else {
        const std::size_t start = i;
        while (i < text.size() && !isSpace(text[i])) ++i;
        t.value = std::string(text.substr(start, i - start));
    }
    skipSpace();
    if (i < text.size() && (text[i] == 'i' || text[i] == 'I')) {
        t.ignoreCase = true;
        ++i;
        skipSpace();
    }
    return i == text.size() ? std::optional<AttributeTest>(t) : std::nullopt;
}

bool attributeHolds(const AttributeTest& t, const ElementKey& e) {
    const auto found = std::find_if(e.attributes.begin(), e.attributes.end(),
                                    [&](const auto& a) { return a.first == t.name; });
    if (found == e.attributes.end()) return false;
    if (t.op == 0) return true;
    const std::string value = t.ignoreCase ? lowerAscii(found->second) : found->second;
    const std::string wanted = t.ignoreCase ? lowerAscii(t.value) : t.value;
    switch (t.op) {
        case '=':
            return value == wanted;
        case '~':
            for (const std::string& word : splitValue(value))
                if (word == wanted) return true;
            return false;
        case '|':
            return value == wanted || value.starts_with(wanted + "-");
        case '^':
            return !wanted.empty() && value.starts_with(wanted);
        case '$':
            return !wanted.empty() && value.ends_with(wanted);
        case '*':
            return !wanted.empty() && value.find(wanted) != std::string::npos;
        default:
            return false;
    }
}

// One compound selector from `text` ("div.note#x:link", "a[name]"); `never` when it uses what
// is not supported here.
Compound parseCompound(std::string_view text, std::uint32_t& specificity) {
    Compound c;
    std::size_t i = 0;
    auto readName = [&] {
        const std::size_t start = i;
        while (i < text.size() && isNameChar(text[i])) ++i;
        return std::string(text.substr(start, i - start));
    };
    if (i < text.size() && text[i] == '*') {
        ++i;
    } else if (i < text.size() && isNameChar(text[i])) {
        c.tag = lowerAscii(readName());
        specificity += 1;
    }
    while (i < text.size()) {
        const char kind = text[i++];
        if (kind == '.') {
            std::string name = readName();
            if (name.empty()) c.never = true;
            c.classes.push_back(std::move(name));
            specificity += 1 << 8;
        } else if (kind == '#') {
            c.id = readName();
            if (c.id.empty()) c.never = true;
            specificity += 1 << 16;
        } else if (kind == ':') {
            if (i < text.size() && text[i] == ':') ++i;  // pseudo-elements
            const std::string name = lowerAscii(readName());
            specificity += 1 << 8;
            if (name == "link" || name == "visited") {
                c.needsLink = true;
            } else if (name == "first-child") {
                c.needsFirstChild = true;
            } else {
                c.never = true;  // :hover, :before, ... never hold for a printed page
            }
            if (i < text.size() && text[i] == '(') c.never = true;
        } else if (kind == '[') {
            const std::size_t close = text.find(']', i);
            std::optional<AttributeTest> test = close == std::string_view::npos
                                                    ? std::nullopt
                                                    : parseAttributeTest(text.substr(i, close - i));
            if (!test) {
                c.never = true;
                break;
            }
            c.attributes.push_back(std::move(*test));
            specificity += 1 << 8;
            i = close + 1;
        } else {
            c.never = true;  // anything unknown
            break;
        }
    }
    return c;
}

std::optional<Selector> parseSelector(std::string_view text) {
    Selector s;
    bool child = false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (isSpace(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == '>') {
            child = true;
            ++i;
            continue;
        }
        if (text[i] == '+' || text[i] == '~') return std::nullopt;
        std::size_t end = i;
        while (end < text.size() && !isSpace(text[end]) && text[end] != '>' && text[end] != '+' &&
               text[end] != '~') {
            // An attribute test may hold blanks and "~" in its brackets.
            if (text[end] == '[') end = std::min(text.find(']', end), text.size() - 1);
            ++end;
        }
        Compound c = parseCompound(text.substr(i, end - i), s.specificity);
        if (c.never) return std::nullopt;
        c.child = child && !s.parts.empty();
        child = false;
        s.parts.push_back(std::move(c));
        i = end;
    }
    if (s.parts.empty()) return std::nullopt;
    return s;
}

bool matchesCompound(const Compound& c, const ElementKey& e) {
    if (!c.tag.empty() && c.tag != e.tag) return false;
    if (!c.id.empty() && c.id != e.id) return false;
    if (c.needsLink && !e.isLink) return false;
    if (c.needsFirstChild && !e.firstChild) return false;
    for (const std::string& cls : c.classes)
        if (std::find(e.classes.begin(), e.classes.end(), cls) == e.classes.end()) return false;
    for (const AttributeTest& t : c.attributes)
        if (!attributeHolds(t, e)) return false;
    return true;
}

// How matching a selector from an element ended. A selector that runs out of ancestors fails
// for every element further out as well: there are fewer ancestors there. Giving up at once then,
// rather than trying the next ancestor, keeps a selector with many descendant combinators from
// trying every combination of the ancestors of a deep element.
enum class Match { Yes, NotHere, Never };

// Whether parts [0, last] match with parts[last] on path[at], walking outwards.
Match matchesFrom(const Selector& s, int last, const std::vector<ElementKey>& path, int at) {
    if (!matchesCompound(s.parts[static_cast<std::size_t>(last)],
                         path[static_cast<std::size_t>(at)]))
        return Match::NotHere;
    if (last == 0) return Match::Yes;
    if (s.parts[static_cast<std::size_t>(last)].child)
        return at > 0 ? matchesFrom(s, last - 1, path, at - 1) : Match::Never;
    for (int up = at - 1; up >= 0; --up) {
        const Match m = matchesFrom(s, last - 1, path, up);
        if (m != Match::NotHere) return m;
    }
    return Match::Never;
}

std::optional<double> parseNumber(std::string_view text, std::size_t& used) {
    double value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || !std::isfinite(value)) {
        // from_chars does not take a leading "+" or a bare ".5".
        if (!text.empty() && text[0] == '+') {
            auto rest = parseNumber(text.substr(1), used);
            if (rest) ++used;
            return rest;
        }
        if (!text.empty() && text[0] == '.') {
            const std::string withZero = "0" + std::string(text);
            auto v = parseNumber(withZero, used);
            if (v) --used;
            return v;
        }
        return std::nullopt;
    }
    used = static_cast<std::size_t>(ptr - text.data());
    return value;
}

struct NamedColor {
    std::string_view name;
    int rgb;  // 0xRRGGBB
};

// The colour names of HTML 4 and those common in help pages.
constexpr NamedColor kColors[] = {
    {"black", 0x000000},      {"silver", 0xC0C0C0},    {"gray", 0x808080},
    {"grey", 0x808080},       {"white", 0xFFFFFF},     {"maroon", 0x800000},
    {"red", 0xFF0000},        {"purple", 0x800080},    {"fuchsia", 0xFF00FF},
    {"magenta", 0xFF00FF},    {"green", 0x008000},     {"lime", 0x00FF00},
    {"olive", 0x808000},      {"yellow", 0xFFFF00},    {"navy", 0x000080},
    {"blue", 0x0000FF},       {"teal", 0x008080},      {"aqua", 0x00FFFF},
    {"cyan", 0x00FFFF},       {"orange", 0xFFA500},    {"brown", 0xA52A2A},
    {"darkblue", 0x00008B},   {"darkred", 0x8B0000},   {"darkgreen", 0x006400},
    {"darkgray", 0xA9A9A9},   {"lightgray", 0xD3D3D3}, {"lightgrey", 0xD3D3D3},
    {"gold", 0xFFD700},       {"pink", 0xFFC0CB},      {"lightyellow", 0xFFFFE0},
    {"lightblue", 0xADD8E6},  {"beige", 0xF5F5DC},     {"ivory", 0xFFFFF0},
    {"whitesmoke", 0xF5F5F5}, {"gainsboro", 0xDCDCDC}, {"steelblue", 0x4682B4},
};

int wordColor(int rgb) {
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

std::optional<int> parseHex(std::string_view hex) {
    int value = 0;
    for (char c : hex) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

std::u16string mapGenericFamily(std::u16string name) {
    std::string lower = lowerAscii(toUtf8(name));
    if (lower == "serif") return u"Times New Roman";
    if (lower == "sans-serif") return u"Arial";
    if (lower == "monospace") return u"Courier New";
    if (lower == "cursive") return u"Comic Sans MS";
    if (lower == "fantasy") return u"Impact";
    return name;
}

// The address of an "@import" rule (without its ";"); nothing for another at-rule.
std::optional<std::string> importTarget(std::string_view rule) {
    if (lowerAscii(rule.substr(0, 7)) != "@import") return std::nullopt;
    std::string_view target = trim(rule.substr(7));
    if (lowerAscii(target.substr(0, 4)) == "url(") {
        const std::size_t close = target.find(')');
        target = trim(
            target.substr(4, close == std::string_view::npos ? std::string_view::npos : close - 4));
    } else {
        const std::size_t space = target.find_first_of(" \t\n");
        target = target.substr(0, space);
    }
    if (!target.empty() && (target.front() == '"' || target.front() == '\''))
        target = target.substr(1);
    if (!target.empty() && (target.back() == '"' || target.back() == '\'')) target.remove_suffix(1);
    if (target.empty()) return std::nullopt;
    return std::string(target);
}

}  // namespace

std::string_view trim(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<Declaration> parseDeclarations(std::string_view text) {
    std::vector<Declaration> out;
    std::size_t i = 0;
    while (i < text.size()) {
        // One declaration runs to the next ";" outside quotes and parentheses.
        std::size_t end = i;
        char quote = 0;
        int parens = 0;
        for (; end < text.size(); ++end) {
            const char c = text[end];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '(') {
                ++parens;
            } else if (c == ')') {
                parens = std::max(0, parens - 1);
            } else if (c == ';' && parens == 0) {
                break;
            }
        }
        const std::string_view one = text.substr(i, end - i);
        i = end + 1;
        const std::size_t colon = one.find(':');
        if (colon == std::string_view::npos) continue;
        Declaration d;
        d.name = lowerAscii(trim(one.substr(0, colon)));
        std::string_view value = trim(one.substr(colon + 1));
        const std::size_t bang = value.rfind('!');
        if (bang != std::string_view::npos &&
            lowerAscii(trim(value.substr(bang + 1))) == "important") {
            d.important = true;
            value = trim(value.substr(0, bang));
        }
        d.value = std::string(value);
        if (!d.name.empty() && !d.value.empty()) out.push_back(std::move(d));
    }
    return out;
}

std::vector<std::string> StyleSheetSet::add(std::string_view source) {
    std::vector<std::string> imports;
    const std::string css = stripComments(source);
    const BlockEnds blocks(css);
    // The @media blocks being read, innermost last: where each one's content ends (its "}", or
    // the end of the sheet when it has none) and where reading goes on after it. Nested blocks
    // are walked here rather than by recursion: a sheet may nest them as deep as it is long.
    struct Open {
        std::size_t limit;
        std::size_t resume;
    };
    std::vector<Open> open;

    // Reads the statement at `i` of `block` (the sheet up to the innermost block's end) and moves
    // `i` past it, or into the block it opens; false when the block holds no more.
    const auto statement = [&](std::string_view block, std::size_t& i) {
        // HTML comment marks around a <style> body are not part of the CSS.
        if (block.substr(i).starts_with("<!--")) {
            i += 4;
            return true;
        }
        if (block.substr(i).starts_with("-->")) {
            i += 3;
            return true;
        }
        if (block[i] == '@') {
            const std::size_t stop = block.find_first_of("{;", i);
            if (stop == std::string_view::npos) return false;
            if (block[stop] == ';') {
                if (std::optional<std::string> target = importTarget(block.substr(i, stop - i)))
                    imports.push_back(std::move(*target));
                i = stop + 1;
                return true;
            }
            std::size_t close = blocks.closeOf(stop);
            if (close >= block.size()) close = block.size();
            const std::size_t end = close == block.size() ? close : close + 1;
            const std::string prelude = lowerAscii(block.substr(i, stop - i));
            if (prelude.starts_with("@media") && (prelude.find("screen") != std::string::npos ||
                                                  prelude.find("all") != std::string::npos)) {
                open.push_back({close, end});
                i = stop + 1;
            } else {
                i = end;
            }
            return true;
        }
        const std::size_t brace = block.find('{', i);
        if (brace == std::string_view::npos) return false;
        const std::size_t close = std::min(block.find('}', brace), block.size());
        const auto declarations = std::make_shared<const std::vector<Declaration>>(
            parseDeclarations(block.substr(brace + 1, close - brace - 1)));
        std::string_view selectors = block.substr(i, brace - i);
        while (!selectors.empty()) {
            const std::size_t comma = selectors.find(',');
            if (auto s = parseSelector(trim(selectors.substr(0, comma))))
                addRule(std::move(*s), declarations);
            if (comma == std::string_view::npos) break;
            selectors.remove_prefix(comma + 1);
        }
        i = close == block.size() ? close : close + 1;
        return true;
    };

    StopPoll stop;
    std::size_t i = 0;
    while (true) {
        stop.step();
        const std::string_view block =
            std::string_view(css).substr(0, open.empty() ? css.size() : open.back().limit);
        while (i < block.size() && (isSpace(block[i]) || block[i] == ';' || block[i] == '}')) ++i;
        if (i < block.size() && statement(block, i)) continue;
        // The innermost block is read: on after its "}", or the sheet is.
        if (open.empty()) break;
        i = open.back().resume;
        open.pop_back();
    }
    return imports;
}

void StyleSheetSet::append(const StyleSheetSet& other) {
    m_rules.reserve(m_rules.size() + other.m_rules.size());
    for (const Rule& rule : other.m_rules) addRule(rule.selector, rule.declarations);
}

void StyleSheetSet::addRule(Selector selector,
                            std::shared_ptr<const std::vector<Declaration>> declarations) {
    if (declarations->empty()) return;
    Rule rule{std::move(selector), std::move(declarations),
              static_cast<std::uint32_t>(m_rules.size())};
    m_byTag[rule.selector.parts.back().tag].push_back(m_rules.size());
    m_rules.push_back(std::move(rule));
}

std::vector<const Rule*> StyleSheetSet::matching(const std::vector<ElementKey>& path) const {
    std::vector<const Rule*> out;
    if (path.empty()) return out;
    const int at = static_cast<int>(path.size()) - 1;
    for (const std::string& tag : {std::string(), path.back().tag}) {
        const auto it = m_byTag.find(tag);
        if (it == m_byTag.end()) continue;
        for (std::size_t index : it->second) {
            const Rule& r = m_rules[index];
            if (matchesFrom(r.selector, static_cast<int>(r.selector.parts.size()) - 1, path, at) ==
                Match::Yes)
                out.push_back(&r);
        }
        if (path.back().tag.empty()) break;
    }
    std::sort(out.begin(), out.end(), [](const Rule* a, const Rule* b) {
        if (a->selector.specificity != b->selector.specificity)
            return a->selector.specificity < b->selector.specificity;
        return a->order < b->order;
    });
    if (out.size() < 2) return out;
    // Rules that share their declarations (one selector list) keep only the last of them: given
    // at each, a list of many selectors that all match would hand on its block as many times.
    std::vector<std::pair<const void*, std::size_t>> blocks;  // declarations, place in `out`
    blocks.reserve(out.size());
    for (std::size_t k = 0; k < out.size(); ++k) blocks.emplace_back(out[k]->declarations.get(), k);
    std::sort(blocks.begin(), blocks.end(), [](const auto& a, const auto& b) {
        return std::less<const void*>()(a.first, b.first) ||
               (a.first == b.first && a.second < b.second);
    });
    std::vector<bool> earlier(out.size(), false);
    bool any = false;
    for (std::size_t k = 0; k + 1 < blocks.size(); ++k)
        if (blocks[k].first == blocks[k + 1].first) earlier[blocks[k].second] = any = true;
    if (any) {
        std::size_t kept = 0;
        for (std::size_t k = 0; k < out.size(); ++k)
            if (!earlier[k]) out[kept++] = out[k];
        out.resize(kept);
    }
    return out;
}

std::optional<int> parseColor(std::string_view text) {
    const std::string value = lowerAscii(trim(text));
    if (value.empty()) return std::nullopt;
    if (value[0] == '#' || value.size() == 6) {
        const std::string_view hex =
            value[0] == '#' ? std::string_view(value).substr(1) : std::string_view(value);
        const auto rgb = parseHex(hex);
        if (rgb && hex.size() == 6) return wordColor(*rgb);
        if (rgb && hex.size() == 3) {
            const int r = (*rgb >> 8) & 0xF, g = (*rgb >> 4) & 0xF, b = *rgb & 0xF;
            return wordColor((r * 17) << 16 | (g * 17) << 8 | b * 17);
        }
        if (value[0] == '#') return std::nullopt;
    }
    if (value.starts_with("rgb(") || value.starts_with("rgba(")) {
        const std::size_t open = value.find('(');
        const std::size_t close = value.find(')');
        std::string_view args = std::string_view(value).substr(
            open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        int parts[3] = {0, 0, 0};
        for (int& part : parts) {
            args = trim(args);
            std::size_t used = 0;
            const auto n = parseNumber(args, used);
            if (!n) return std::nullopt;
            double v = *n;
            args.remove_prefix(used);
            if (!args.empty() && args[0] == '%') {
                v = v * 255 / 100;
                args.remove_prefix(1);
            }
            part = static_cast<int>(std::clamp(std::lround(v), 0L, 255L));
            args = trim(args);
            if (!args.empty() && args[0] == ',') args.remove_prefix(1);
        }
        return wordColor(parts[0] << 16 | parts[1] << 8 | parts[2]);
    }
    for (const NamedColor& c : kColors)
        if (c.name == value) return wordColor(c.rgb);
    return std::nullopt;
}

std::optional<double> parseLength(std::string_view text, double emPoints,
                                  std::optional<double> percentOf) {
    const std::string value = lowerAscii(trim(text));
    std::size_t used = 0;
    const auto n = parseNumber(value, used);
    if (!n) return std::nullopt;
    const std::string_view unit = trim(std::string_view(value).substr(used));
    if (unit == "pt") return *n;
    if (unit == "px") return *n * 0.75;
    if (unit == "em") return *n * emPoints;
    if (unit == "ex") return *n * emPoints / 2;
    if (unit == "in") return *n * 72;
    if (unit == "cm") return *n * 72 / 2.54;
    if (unit == "mm") return *n * 72 / 25.4;
    if (unit == "pc") return *n * 12;
    if (unit == "%") return percentOf ? std::optional<double>(*n * *percentOf / 100) : std::nullopt;
    if (unit.empty()) return *n == 0 ? std::optional<double>(0) : std::nullopt;
    return std::nullopt;
}

std::optional<double> parseFontSize(std::string_view text, double parentPoints) {
    const std::string value = lowerAscii(trim(text));
    struct Keyword {
        std::string_view name;
        double points;
    };
    static constexpr Keyword kSizes[] = {{"xx-small", 7.5}, {"x-small", 7.5}, {"small", 10},
                                         {"medium", 12},    {"large", 13.5},  {"x-large", 18},
                                         {"xx-large", 24}};
    for (const Keyword& k : kSizes)
        if (k.name == value) return k.points;
    if (value == "smaller") return parentPoints / 1.2;
    if (value == "larger") return parentPoints * 1.2;
    const auto points = parseLength(value, parentPoints, parentPoints);
    if (!points || *points <= 0) return std::nullopt;
    return std::min(*points, 1638.0);
}

std::optional<double> fontSizeAttribute(std::string_view text) {
    static constexpr double kPoints[] = {7.5, 10, 12, 13.5, 18, 24, 36};
    const std::string_view value = trim(text);
    std::size_t used = 0;
    const auto n = parseNumber(value, used);
    if (!n) return std::nullopt;
    // Clamped before it becomes an int: a size such as 1e300 does not fit one.
    int size = static_cast<int>(std::clamp(*n, -100.0, 100.0));
    if (!value.empty() && (value[0] == '+' || value[0] == '-')) size = 3 + size;
    return kPoints[std::clamp(size, 1, 7) - 1];
}

std::vector<std::u16string> parseFontFamilies(std::string_view text) {
    std::vector<std::u16string> out;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view name = trim(rest.substr(0, comma));
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
            name.back() == name.front())
            name = trim(name.substr(1, name.size() - 2));
        if (!name.empty()) out.push_back(mapGenericFamily(fromUtf8(name)));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return out;
}

std::vector<std::string> splitValue(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i])) ++i;
        if (i >= text.size()) break;
        std::size_t end = i;
        int parens = 0;
        char quote = 0;
        for (; end < text.size(); ++end) {
            const char c = text[end];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '(') {
                ++parens;
            } else if (c == ')') {
                --parens;
            } else if (isSpace(c) && parens <= 0) {
                break;
            }
        }
        out.emplace_back(text.substr(i, end - i));
        i = end;
    }
    return out;
}

}  // namespace quillet::engine::html
