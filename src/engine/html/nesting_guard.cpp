#include "engine/html/nesting_guard.h"

#include "platform/ascii.h"

#include <algorithm>
#include <vector>

namespace quillet::engine::html {

namespace {

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::ranges::find(names, name) != names.end();
}

// Elements that take no end tag, or whose end tag may be left out: not counted.
bool uncounted(std::string_view name) {
    return isOneOf(
        name, {"area",  "base",   "basefont", "bgsound", "br",    "col",   "embed",    "frame",
               "hr",    "img",    "input",    "keygen",  "link",  "meta",  "param",    "source",
               "track", "wbr",    "p",        "li",      "dt",    "dd",    "tr",       "td",
               "th",    "option", "optgroup", "thead",   "tbody", "tfoot", "colgroup", "caption",
               "rb",    "rt",     "rp",       "html",    "head",  "body"});
}

// Elements whose content is text up to their end tag.
bool rawText(std::string_view name) {
    return isOneOf(name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed",
                          "noframes", "plaintext"});
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct Open {
    std::string name;
    bool dropped;
};

// How far back an end tag looks for its element among the open ones; further back, the end tag
// is taken for a stray one.
constexpr std::size_t kMatchWindow = 8;

}  // namespace

std::optional<std::string> flattenDeepNesting(std::string_view html, int maxDepth) {
    std::vector<Open> open;
    std::string out;
    bool dropping = false;   // a tag has been dropped: `out` holds the page so far
    std::size_t copied = 0;  // html[0, copied) is in `out`, when dropping
    const auto drop = [&](std::size_t from, std::size_t to) {
        if (!dropping) {
            dropping = true;
            out.reserve(html.size());
        }
        out.append(html.substr(copied, from - copied));
        copied = to;
    };

    std::size_t at = 0;
    while ((at = html.find('<', at)) != std::string_view::npos) {
        const std::size_t start = at;
        if (html.substr(at, 4) == "<!--") {
            const std::size_t end = html.find("-->", at + 4);
            if (end == std::string_view::npos) break;
            at = end + 3;
            continue;
        }
        const bool closing = at + 1 < html.size() && html[at + 1] == '/';
        const std::size_t nameStart = at + (closing ? 2 : 1);
        if (nameStart >= html.size() || !isLetter(html[nameStart])) {
            // "<!DOCTYPE", "<?xml", or a "<" in text.
            ++at;
            continue;
        }
        std::size_t nameEnd = nameStart;
        while (nameEnd < html.size() && html[nameEnd] != '>' && html[nameEnd] != '/' &&
               !isSpace(html[nameEnd]))
            ++nameEnd;
        std::string name = lowerAscii(html.substr(nameStart, nameEnd - nameStart));
        // The tag's end, past attribute values in quotes.
        std::size_t end = nameEnd;
        char quote = 0;
        for (; end < html.size(); ++end) {
            const char c = html[end];
            if (quote != 0) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                if (html[end - 1] == '=' || isSpace(html[end - 1])) quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (end == html.size()) break;
        at = end + 1;
        const bool selfClosing = html[end - 1] == '/';

        if (!closing && rawText(name)) {
            // Its content up to its end tag is text, not tags.
            const std::string endTag = "</" + name;
            std::size_t search = at;
            while (true) {
                const std::size_t found = html.find("</", search);
                if (found == std::string_view::npos) {
                    at = html.size();
                    break;
                }
                if (lowerAscii(html.substr(found, endTag.size())) == endTag) {
                    at = found;
                    break;
                }
                search = found + 2;
            }
            continue;
        }
        if (uncounted(name) || (selfClosing && !closing)) continue;
        if (!closing) {
            const bool deep = open.size() >= static_cast<std::size_t>(maxDepth);
            open.push_back({std::move(name), deep});
            if (deep) drop(start, at);
            continue;
        }
        const std::size_t window = std::min(open.size(), kMatchWindow);
        for (std::size_t back = 1; back <= window; ++back) {
            const Open& candidate = open[open.size() - back];
            if (candidate.name != name) continue;
            const bool dropped = candidate.dropped;
            open.resize(open.size() - back);
            if (dropped) drop(start, at);
            break;
        }
    }
    if (!dropping) return std::nullopt;
    out.append(html.substr(copied));
    return out;
}

}  // namespace quillet::engine::html
