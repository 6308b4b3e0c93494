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

// Where the text of a raw-text element `name` that starts at `at` ends: at its end tag, in any
// letter case, or at the end of the page.
std::size_t rawTextEnd(std::string_view html, std::size_t at, const std::string& name) {
    const std::string endTag = "</" + name;
    for (std::size_t search = at;;) {
        const std::size_t found = html.find("</", search);
        if (found == std::string_view::npos) return html.size();
        if (lowerAscii(html.substr(found, endTag.size())) == endTag) return found;
        search = found + 2;
    }
}

// Where a comment that begins at `at` with "<!--" ends: just after its "-->" (or "--!>", or the
// ">" of an empty "<!-->" or "<!--->"); npos when the page ends first.
std::size_t commentEnd(std::string_view html, std::size_t at) {
    const std::size_t body = at + 4;
    if (html.substr(body).starts_with(">")) return body + 1;
    if (html.substr(body).starts_with("->")) return body + 2;
    for (std::size_t dash = html.find("--", body); dash != std::string_view::npos;
         dash = html.find("--", dash + 1)) {
        if (html.substr(dash + 2).starts_with(">")) return dash + 3;
        if (html.substr(dash + 2).starts_with("!>")) return dash + 4;
    }
    return std::string_view::npos;
}

// A tag's attributes as the parser's tokenizer reads them, from the end of its name.
struct TagScan {
    std::size_t end = std::string_view::npos;  // its ">"; npos when the page ends inside it
    bool selfClosing = false;                  // ends in "/>"
    // Just after the last character of its first `keep` attributes (name, "=", value, quote),
    // and whether it has more than that.
    std::size_t keptEnd = 0;
    bool more = false;
};

TagScan scanAttributes(std::string_view html, std::size_t from, int keep) {
    enum class State {
        BeforeName,
        Name,
        AfterName,
        BeforeValue,
        Quoted,
        Unquoted,
        AfterQuoted,
        SelfClosing
    };
    TagScan scan;
    scan.keptEnd = from;
    State state = State::BeforeName;
    int count = 0;
    char quote = 0;
    // The character at `i` belongs to the current attribute: kept with it, if it is kept.
    const auto keepTo = [&](std::size_t i) {
        if (count <= keep) scan.keptEnd = i + 1;
    };
    const auto startAttribute = [&](std::size_t i) {
        if (++count > keep) scan.more = true;
        keepTo(i);
        state = State::Name;
    };
    for (std::size_t i = from; i < html.size(); ++i) {
        const char c = html[i];
        switch (state) {
            case State::BeforeName:
                if (c == '/') {
                    state = State::SelfClosing;
                } else if (c == '>') {
                    scan.end = i;
                    return scan;
                } else if (!isSpace(c)) {
                    startAttribute(i);  // "=", a quote or "<" too: they begin a name here
                }
                break;
            case State::Name:
            case State::AfterName:
                if (c == '/') {
                    state = State::SelfClosing;
                } else if (c == '>') {
                    scan.end = i;
                    return scan;
                } else if (c == '=') {
                    keepTo(i);
                    state = State::BeforeValue;
                } else if (isSpace(c)) {
                    state = State::AfterName;
                } else if (state == State::Name) {
                    keepTo(i);
                } else {
                    startAttribute(i);
                }
                break;
            case State::BeforeValue:
                if (c == '"' || c == '\'') {
                    quote = c;
                    state = State::Quoted;
                    keepTo(i);
                } else if (c == '>') {
                    scan.end = i;
                    return scan;
                } else if (!isSpace(c)) {
                    state = State::Unquoted;
                    keepTo(i);
                }
                break;
            case State::Quoted: {
                const std::size_t close = html.find(quote, i);
                if (close == std::string_view::npos) return scan;
                i = close;
                keepTo(i);
                state = State::AfterQuoted;
                break;
            }
            case State::Unquoted:
                if (c == '>') {
                    scan.end = i;
                    return scan;
                }
                if (isSpace(c))
                    state = State::BeforeName;
                else
                    keepTo(i);
                break;
            case State::AfterQuoted:
            case State::SelfClosing:
                if (c == '>') {
                    scan.end = i;
                    scan.selfClosing = state == State::SelfClosing;
                    return scan;
                }
                if (state == State::AfterQuoted && c == '/') {
                    state = State::SelfClosing;
                } else {
                    // Anything else is read again as if white space had come before it.
                    state = State::BeforeName;
                    --i;
                }
                break;
        }
    }
    return scan;
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
            at = rawTextEnd(html, at, name);
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

std::optional<std::string> dropExcessAttributes(std::string_view html, int maxAttributes) {
    std::string out;
    bool dropping = false;   // attributes have been dropped: `out` holds the page so far
    std::size_t copied = 0;  // html[0, copied) is in `out`, when dropping
    std::size_t at = 0;
    while ((at = html.find('<', at)) != std::string_view::npos) {
        if (html.substr(at).starts_with("<!--")) {
            at = commentEnd(html, at);
            if (at == std::string_view::npos) break;
            continue;
        }
        const bool closing = at + 1 < html.size() && html[at + 1] == '/';
        const std::size_t nameStart = at + (closing ? 2 : 1);
        if (nameStart >= html.size()) break;
        if (!isLetter(html[nameStart])) {
            if (closing || html[nameStart] == '!' || html[nameStart] == '?') {
                // A declaration ("<!DOCTYPE"), a processing instruction or a broken end tag:
                // the parser takes it for a comment that runs to the first ">".
                at = html.find('>', nameStart);
                if (at == std::string_view::npos) break;
            } else {
                ++at;  // a "<" in text
            }
            continue;
        }
        std::size_t nameEnd = nameStart;
        while (nameEnd < html.size() && html[nameEnd] != '>' && html[nameEnd] != '/' &&
               !isSpace(html[nameEnd]))
            ++nameEnd;
        const TagScan scan = scanAttributes(html, nameEnd, maxAttributes);
        if (scan.end == std::string_view::npos) break;  // the parser drops a tag left open
        if (scan.more) {
            if (!dropping) {
                dropping = true;
                out.reserve(html.size());
            }
            out.append(html.substr(copied, scan.keptEnd - copied));
            out += scan.selfClosing ? " />" : ">";
            copied = scan.end + 1;
        }
        at = scan.end + 1;
        if (closing) continue;
        const std::string name = lowerAscii(html.substr(nameStart, nameEnd - nameStart));
        if (name == "plaintext") break;  // the rest of the page is its text
        if (rawText(name)) {
            // Its content up to its end tag is text, not tags.
            at = rawTextEnd(html, at, name);
        }
    }
    if (!dropping) return std::nullopt;
    out.append(html.substr(copied));
    return out;
}

}  // namespace quillet::engine::html
