#include "engine/html/web_page_reader.h"

#include "engine/document_model.h"
#include "engine/html/css.h"
#include "engine/html/local_address.h"
#include "engine/picture.h"
#include "engine/word_engine.h"
#include "platform/utf.h"
#include "text/text_context.h"
#include "text/text_files.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quillet::engine::html {

namespace {

// Points between a list item's marker and its text: the hanging indent of list paragraphs.
constexpr double kListIndent = 18;
// The width a table may take when the page gives none: a letter page less one-inch margins.
constexpr double kTextWidth = 468;
// The largest picture side, as Word allows (22 inches).
constexpr double kMaxPictureSide = 1584;
// Elements nested deeper than this are read for their text only, so that a hostile page cannot
// exhaust the stack; real pages stay far below it.
constexpr int kMaxDepth = 200;
// How many of those levels a table counts for: reading one (its rows, cells and caption) takes
// several times the stack of another element, so tables nest at most a quarter as deep.
constexpr int kTableDepth = 4;
// Style sheets that import others: how deep the chain may go.
constexpr int kMaxImportDepth = 4;
constexpr int kMaxSpan = 1000;  // colspan and rowspan, as browsers clamp them
// List numbers stay within plus or minus this: a page's start and value attributes are clamped to
// it, and counting on past it repeats it, so that no attribute or number of items can overflow the
// counter. Far beyond any list a page shows.
constexpr int kMaxListNumber = 999'999'999;

// Defaults of the elements, read with the lowest priority as a browser's own style sheet.
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

enum class Display { Inline, Block, ListItem, None };

// What the cascade gives an element: inherited character and paragraph properties, and its own.
struct Computed {
    CharFormat chars;
    std::optional<int> align;
    std::optional<double> textIndent;
    bool pre = false;
    std::string listStyle;
    double indent = 0;  // left indent of the block content, points
    double rightIndent = 0;
    std::optional<int> blockShading;

    Display display = Display::Inline;
    std::optional<double> marginTop;
    std::optional<double> marginBottom;
    std::optional<int> background;
    std::optional<double> width;         // points
    std::optional<double> widthPercent;  // of the containing width
    std::optional<double> height;
    std::optional<double> borderWidth;
};

// The formatting of the paragraphs a block makes.
struct Block {
    ParaFormat format;
    CharFormat mark;
};

struct OpenLink {
    int start;
    std::u16string address;
    std::u16string subAddress;
};

// The fragment being written, with the state of its current paragraph. A table cell gets its own.
struct Output {
    Fragment frag;
    bool open = false;          // a paragraph has begun
    bool lineHasText = false;   // visible content since the paragraph began or the last break
    bool pendingSpace = false;  // collapsed white space to write before the next content
    int pendingBreaks = 0;      // <br>s to write before the next content
    ParaFormat paraFormat;
    CharFormat markFormat;
    std::u16string marker;  // a list item's marker waiting for its first paragraph
    CharFormat markerFormat;
    std::vector<OpenLink> links;

    int pos() const { return static_cast<int>(frag.text.size()); }

    void append(std::u16string_view text, const CharFormat& format) {
        if (text.empty()) return;
        frag.text += text;
        if (!frag.runs.empty() && frag.runs.back().second == format)
            frag.runs.back().first += static_cast<int>(text.size());
        else
            frag.runs.emplace_back(static_cast<int>(text.size()), format);
    }

    void begin(const Block& block) {
        if (open) return;
        open = true;
        lineHasText = false;
        pendingSpace = false;
        pendingBreaks = 0;
        paraFormat = block.format;
        markFormat = block.mark;
        if (!marker.empty()) {
            paraFormat.firstLineIndent = -kListIndent;
            append(marker + u"\t", markerFormat);
            marker.clear();
        }
    }

    // Writes what waits before visible content: the paragraph's start, breaks, a space.
    void beforeContent(const Block& block, const CharFormat& format) {
        begin(block);
        if (pendingBreaks > 0) {
            append(std::u16string(static_cast<std::size_t>(pendingBreaks), kLineBreak), format);
            pendingBreaks = 0;
            pendingSpace = false;
        }
        if (pendingSpace && lineHasText) append(u" ", format);
        pendingSpace = false;
        lineHasText = true;
    }

    void end(char16_t mark = kParagraphMark) {
        if (!open) return;
        // A last <br> of a paragraph shows nothing, as in a browser.
        if (pendingBreaks > 1)
            append(std::u16string(static_cast<std::size_t>(pendingBreaks - 1), kLineBreak),
                   markFormat);
        closeLinkSegments();
        append(std::u16string(1, mark), markFormat);
        frag.paragraphs.push_back(paraFormat);
        for (OpenLink& l : links) l.start = pos();
        open = false;
        pendingSpace = false;
        pendingBreaks = 0;
    }

    void closeLinkSegments() {
        for (OpenLink& l : links) {
            if (pos() > l.start) {
                Hyperlink h;
                h.start = l.start;
                h.end = pos();
                h.address = l.address;
                h.subAddress = l.subAddress;
                frag.hyperlinks.push_back(std::move(h));
            }
            l.start = pos();
        }
    }
};

std::string attribute(const GumboElement& e, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
    return a ? std::string(a->value) : std::string();
}

// An integer attribute read as browsers read one (white space, a sign, then digits up to the
// first other character) and clamped to [low, high]; nothing when it holds no number.
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

bool hasAttribute(const GumboElement& e, const char* name) {
    return gumbo_get_attribute(&e.attributes, name) != nullptr;
}

std::string tagName(const GumboElement& e) {
    if (e.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(e.tag);
    GumboStringPiece piece = e.original_tag;
    gumbo_tag_from_original_text(&piece);
    return toLower(std::string_view(piece.data, piece.length));
}

// Elements whose content is no document text.
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
    return kFonts.contains(toLower(toUtf8(name)));
}

std::optional<int> alignmentOf(std::string_view value) {
    const std::string v = toLower(trim(value));
    if (v == "left" || v == "start") return 0;
    if (v == "center" || v == "middle") return 1;
    if (v == "right" || v == "end") return 2;
    if (v == "justify") return 3;
    return std::nullopt;
}

// A width or height attribute: pixels, or a percentage.
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

// The declarations that properties written as shorthands stand for.
void expand(const Declaration& d, std::vector<std::pair<std::string, std::string>>& out) {
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
            const std::string p = toLower(parts[i]);
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
            const std::string lower = toLower(p);
            if (lower == "none" || lower == "transparent")
                out.emplace_back("background-color", "transparent");
            else if (parseColor(p))
                out.emplace_back("background-color", p);
        }
    } else if (d.name == "border" || d.name == "border-width") {
        for (const std::string& p : splitValue(d.value)) {
            const std::string lower = toLower(p);
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
        for (const std::string& p : splitValue(d.value))
            out.emplace_back("list-style-type", toLower(p));
    } else {
        out.emplace_back(d.name, d.value);
    }
}

std::u16string romanNumeral(int n) {
    static constexpr std::pair<int, const char16_t*> kRoman[] = {
        {1000, u"m"}, {900, u"cm"}, {500, u"d"}, {400, u"cd"}, {100, u"c"}, {90, u"xc"}, {50, u"l"},
        {40, u"xl"},  {10, u"x"},   {9, u"ix"},  {5, u"v"},    {4, u"iv"},  {1, u"i"}};
    if (n <= 0 || n >= 4000) return fromUtf8(std::to_string(n));
    std::u16string out;
    for (const auto& [value, text] : kRoman)
        while (n >= value) out += text, n -= value;
    return out;
}

std::u16string alphabetic(int n) {
    if (n <= 0) return fromUtf8(std::to_string(n));
    std::u16string out;
    while (n > 0) {
        --n;
        out.insert(out.begin(), static_cast<char16_t>(u'a' + n % 26));
        n /= 26;
    }
    return out;
}

std::u16string upper(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return text;
}

// The marker of list item `number` in a list of `type` (CSS list-style-type).
std::u16string listMarker(const std::string& type, int number) {
    if (type == "disc") return u"\u2022";
    if (type == "circle") return u"o";
    if (type == "square") return u"\u25AA";
    if (type == "none") return u"";
    if (type == "lower-alpha" || type == "lower-latin") return alphabetic(number) + u".";
    if (type == "upper-alpha" || type == "upper-latin") return upper(alphabetic(number)) + u".";
    if (type == "lower-roman") return romanNumeral(number) + u".";
    if (type == "upper-roman") return upper(romanNumeral(number)) + u".";
    return fromUtf8(std::to_string(number)) + u".";
}

std::string listTypeAttribute(const std::string& type) {
    if (type == "1") return "decimal";
    if (type == "a") return "lower-alpha";
    if (type == "A") return "upper-alpha";
    if (type == "i") return "lower-roman";
    if (type == "I") return "upper-roman";
    const std::string lower = toLower(type);
    if (lower == "disc" || lower == "circle" || lower == "square") return lower;
    return {};
}

// Characters that would be structure in a story (paragraph marks, cell ends, field characters)
// and other control characters are no text of a page.
char16_t sanitize(char16_t c) {
    if (c == u'\t' || c == u'\n') return c;
    if (c < 0x20 || c == 0x7F) return u' ';
    return c;
}

struct ListState {
    bool ordered = false;
    std::string type;
    int next = 1;
};

class PageReader {
public:
    PageReader(DocumentModel& model, std::u16string pageFolder, std::u16string workingFolder,
               int pageEncoding)
        : m_model(model),
          m_pageFolder(std::move(pageFolder)),
          m_workingFolder(std::move(workingFolder)),
          m_pageEncoding(pageEncoding) {
        m_defaults.add(kDefaultCss);
    }

    void read(GumboNode* document) {
        collectStyles(document);
        Output out;
        m_out = &out;
        Computed root;
        m_blocks.push_back(Block{});
        walkChildren(document, root, 0);
        out.end();
        out.marker.clear();
        m_blocks.pop_back();
        insert(std::move(out.frag));
    }

private:
    // ---- style sheets --------------------------------------------------------------------------

    // Reads the page's <style> elements and linked style sheets in document order. The walk keeps
    // its own stack: a page may nest far deeper than the call stack could follow.
    void collectStyles(GumboNode* document) {
        std::vector<GumboNode*> stack{document};
        while (!stack.empty()) {
            GumboNode* node = stack.back();
            stack.pop_back();
            if (node->type == GUMBO_NODE_ELEMENT && readStyleElement(node->v.element)) continue;
            if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) continue;
            const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT
                                              ? node->v.document.children
                                              : node->v.element.children;
            for (unsigned i = children.length; i > 0; --i)
                stack.push_back(static_cast<GumboNode*>(children.data[i - 1]));
        }
    }

    // Adds the style sheet of a <style> or <link> element; false for any other element.
    bool readStyleElement(const GumboElement& e) {
        if (e.tag == GUMBO_TAG_STYLE) {
            std::string css;
            for (unsigned i = 0; i < e.children.length; ++i) {
                const auto* child = static_cast<const GumboNode*>(e.children.data[i]);
                if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE ||
                    child->type == GUMBO_NODE_CDATA || child->type == GUMBO_NODE_COMMENT)
                    css += child->v.text.text;
            }
            const std::string media = toLower(attribute(e, "media"));
            if (media.empty() || media.find("screen") != std::string::npos ||
                media.find("all") != std::string::npos)
                addSheet(css, m_pageFolder, 0);
            return true;
        }
        if (e.tag == GUMBO_TAG_LINK) {
            const std::string rel = toLower(attribute(e, "rel"));
            const std::string media = toLower(attribute(e, "media"));
            if (rel.find("stylesheet") != std::string::npos &&
                rel.find("alternate") == std::string::npos &&
                (media.empty() || media.find("screen") != std::string::npos ||
                 media.find("all") != std::string::npos))
                addSheetFile(fromUtf8(attribute(e, "href")), m_pageFolder, 0);
            return true;
        }
        return false;
    }

    void addSheet(std::string_view css, const std::u16string& folder, int depth) {
        for (const std::string& import : m_sheets.add(css))
            if (depth < kMaxImportDepth) addSheetFile(fromUtf8(import), folder, depth + 1);
    }

    void addSheetFile(const std::u16string& address, const std::u16string& folder, int depth) {
        const auto file = resolveLocalFile(address, folder, m_workingFolder);
        if (!file || !m_sheetsRead.insert(*file).second) return;
        // A style sheet is text like the page: read by its mark, else the job's code page.
        const std::u16string css = ReadTextFile(*file, sheetCodePage(*file));
        addSheet(toUtf8(css), fromPath(toPath(*file).parent_path()), depth);
    }

    // The code page of a style sheet: its "@charset", else the page's own encoding, else the
    // job's ANSI code page (empty).
    std::u16string sheetCodePage(const std::u16string& file) const {
        std::string head(64, '\0');
        std::ifstream in(toPath(file), std::ios::binary);
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        int encoding = m_pageEncoding;
        if (toLower(head).starts_with("@charset")) {
            const std::size_t open = head.find('"');
            const std::size_t close = open == std::string::npos ? open : head.find('"', open + 1);
            if (close != std::string::npos)
                encoding = GetTextEncoding(u"charset=" +
                                           fromUtf8(head.substr(open + 1, close - open - 1)));
        }
        if (encoding == 1) return u"65001";
        if (encoding == 2) return u"1200";
        return encoding > 2 ? fromUtf8(std::to_string(encoding)) : std::u16string();
    }

    // ---- the cascade ---------------------------------------------------------------------------

    Computed computeStyle(const GumboElement& e, const Computed& parent) {
        std::vector<std::pair<std::string, std::string>> props;
        auto addAll = [&](const std::vector<Declaration>& ds, bool important) {
            for (const Declaration& d : ds)
                if (d.important == important) expand(d, props);
        };
        for (const Rule* r : m_defaults.matching(m_path)) addAll(r->declarations, false);
        presentationalHints(e, props);
        const std::vector<const Rule*> rules = m_sheets.matching(m_path);
        for (const Rule* r : rules) addAll(r->declarations, false);
        std::vector<Declaration> inlineStyle;
        if (const GumboAttribute* a = gumbo_get_attribute(&e.attributes, "style"))
            inlineStyle = parseDeclarations(a->value);
        addAll(inlineStyle, false);
        for (const Rule* r : rules) addAll(r->declarations, true);
        addAll(inlineStyle, true);

        std::unordered_map<std::string, std::string> value;
        for (auto& [name, v] : props) value[name] = std::move(v);
        auto get = [&](const char* name) -> const std::string* {
            const auto it = value.find(name);
            if (it == value.end() || toLower(it->second) == "inherit") return nullptr;
            return &it->second;
        };

        Computed c;
        c.chars = parent.chars;
        c.chars.charStyle.clear();
        c.align = parent.align;
        c.textIndent = parent.textIndent;
        c.pre = parent.pre;
        c.listStyle = parent.listStyle;
        c.indent = parent.indent;
        c.rightIndent = parent.rightIndent;
        c.blockShading = parent.blockShading;
        c.display = defaultDisplay(e.tag);

        const double parentSize = parent.chars.size.value_or(12);
        double size = parentSize;
        if (const std::string* v = get("font-size"))
            if (auto s = parseFontSize(*v, parentSize)) c.chars.size = size = *s;
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
            const std::string w = toLower(*v);
            if (w == "bold" || w == "bolder" || w == "600" || w == "700" || w == "800" ||
                w == "900")
                c.chars.bold = true;
            else if (w == "normal" || w == "lighter" ||
                     (w.size() == 3 && w[0] >= '1' && w[0] <= '5'))
                c.chars.bold = false;
        }
        if (const std::string* v = get("font-style")) {
            const std::string s = toLower(*v);
            if (s == "italic" || s == "oblique")
                c.chars.italic = true;
            else if (s == "normal")
                c.chars.italic = false;
        }
        if (const std::string* v = get("text-decoration")) {
            const std::string s = toLower(*v);
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
            const std::string s = toLower(*v);
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
        if (const std::string* v = get("white-space")) {
            const std::string s = toLower(*v);
            c.pre = s == "pre" || s == "pre-wrap" || s == "pre-line";
        }
        if (const std::string* v = get("list-style-type")) {
            const std::string s = toLower(*v);
            if (!listMarker(s, 1).empty() || s == "none") c.listStyle = s;
        }
        if (const std::string* v = get("display")) {
            const std::string s = toLower(*v);
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
            c.indent = std::clamp(c.indent + left, -1584.0, 1584.0);
            c.rightIndent = std::clamp(c.rightIndent + right, -1584.0, 1584.0);
            if (c.background) c.blockShading = c.background;
            if (value.contains("background-color") && !c.background) c.blockShading.reset();
        } else if (c.background) {
            c.chars.shading = c.background;
        }
        if (hasAttribute(e, "hidden")) c.display = Display::None;
        return c;
    }

    // HTML attributes that style an element, as declarations below every author rule.
    static void presentationalHints(const GumboElement& e,
                                    std::vector<std::pair<std::string, std::string>>& props) {
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
                b.empty()
                    ? "1px"
                    : b + (b.find_first_not_of("0123456789") == std::string::npos ? "px" : ""));
        }
    }

    ElementKey keyOf(const GumboNode* node) const {
        const GumboElement& e = node->v.element;
        ElementKey k;
        k.tag = tagName(e);
        k.id = attribute(e, "id");
        const std::string cls = attribute(e, "class");
        for (std::string& c : splitValue(cls)) k.classes.push_back(std::move(c));
        k.isLink = e.tag == GUMBO_TAG_A && hasAttribute(e, "href");
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

    Block blockOf(const GumboElement& e, const Computed& c) const {
        Block b;
        b.mark = c.chars;
        if (const int level = headingLevel(e.tag)) {
            b.format.style = std::max(0, m_model.styles().findBuiltin(headingStyleNumber(level)));
        }
        b.format.alignment = c.align;
        if (c.indent != 0) b.format.leftIndent = c.indent;
        if (c.rightIndent != 0) b.format.rightIndent = c.rightIndent;
        b.format.firstLineIndent = c.textIndent;
        b.format.spaceBefore = c.marginTop
                                   ? std::optional<double>(std::clamp(*c.marginTop, 0.0, 1584.0))
                                   : std::nullopt;
        b.format.spaceAfter = c.marginBottom
                                  ? std::optional<double>(std::clamp(*c.marginBottom, 0.0, 1584.0))
                                  : std::nullopt;
        b.format.shading = c.blockShading;
        return b;
    }

    // ---- the walk ------------------------------------------------------------------------------

    void walkChildren(GumboNode* node, const Computed& style, int depth) {
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i)
            walk(static_cast<GumboNode*>(children.data[i]), style, depth);
    }

    void walk(GumboNode* node, const Computed& style, int depth) {
        switch (node->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                text(fromUtf8(node->v.text.text), style);
                break;
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE:
                if (depth >= kMaxDepth) {
                    flatText(node, style);
                } else {
                    element(node, style, depth + 1);
                }
                break;
            default:
                break;
        }
    }

    // The text of a subtree too deep to read element by element, without recursion. Where a
    // block or a line break would begin or end, a space keeps the words on either side apart.
    void flatText(GumboNode* top, const Computed& style) {
        std::vector<GumboNode*> stack{top};  // null: the end of a block
        while (!stack.empty()) {
            GumboNode* n = stack.back();
            stack.pop_back();
            if (!n) {
                text(u" ", style);
            } else if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE ||
                       n->type == GUMBO_NODE_CDATA) {
                text(fromUtf8(n->v.text.text), style);
            } else if (n->type == GUMBO_NODE_ELEMENT && !isLeftOut(n->v.element.tag)) {
                const GumboTag tag = n->v.element.tag;
                if (defaultDisplay(tag) != Display::Inline || tag == GUMBO_TAG_BR) {
                    text(u" ", style);
                    stack.push_back(nullptr);
                }
                const GumboVector& c = n->v.element.children;
                for (unsigned i = c.length; i > 0; --i)
                    stack.push_back(static_cast<GumboNode*>(c.data[i - 1]));
            }
        }
    }

    void element(GumboNode* node, const Computed& parent, int depth) {
        const GumboElement& e = node->v.element;
        if (isLeftOut(e.tag)) return;
        m_path.push_back(keyOf(node));
        const Computed style = computeStyle(e, parent);
        if (style.display != Display::None) content(node, e, style, depth);
        m_path.pop_back();
    }

    void content(GumboNode* node, const GumboElement& e, const Computed& style, int depth) {
        Output& out = *m_out;
        // Anchors: a bookmark over the element, from its name or id.
        std::u16string anchor = fromUtf8(attribute(e, "id"));
        if (anchor.empty() && e.tag == GUMBO_TAG_A) anchor = fromUtf8(attribute(e, "name"));
        const bool block = style.display != Display::Inline;

        if (e.tag == GUMBO_TAG_BR) {
            out.begin(m_blocks.back());
            out.pendingSpace = false;
            ++out.pendingBreaks;
            out.lineHasText = false;
            if (!anchor.empty()) addBookmark(anchor, out.pos());
            return;
        }
        if (e.tag == GUMBO_TAG_IMG) {
            picture(e, style);
            return;
        }
        if (e.tag == GUMBO_TAG_TABLE) {
            const int start = startBlock();
            table(e, style, depth + kTableDepth - 1);
            if (!anchor.empty()) addBookmark(anchor, start, m_out->pos());
            return;
        }
        if (e.tag == GUMBO_TAG_HR) {
            startBlock();
            Block b = blockOf(e, style);
            out.begin(b);
            out.end();
            if (!anchor.empty()) addBookmark(anchor, out.pos() - 1, out.pos() - 1);
            return;
        }

        const bool nested = e.tag == GUMBO_TAG_UL || e.tag == GUMBO_TAG_OL ||
                            e.tag == GUMBO_TAG_DIR || e.tag == GUMBO_TAG_MENU ||
                            style.display == Display::ListItem;
        int start = block ? startBlock(!nested)
                          : inlineStart(!anchor.empty() ||
                                        (e.tag == GUMBO_TAG_A && hasAttribute(e, "href")));
        const std::size_t links = out.links.size();
        Computed inner = style;
        if (e.tag == GUMBO_TAG_A && hasAttribute(e, "href")) {
            if (openLink(attribute(e, "href"))) inner.chars.charStyle = u"Hyperlink";
        }
        bool list = false;
        if (e.tag == GUMBO_TAG_UL || e.tag == GUMBO_TAG_OL || e.tag == GUMBO_TAG_DIR ||
            e.tag == GUMBO_TAG_MENU) {
            ListState s;
            s.ordered = e.tag == GUMBO_TAG_OL;
            const std::string type = listTypeAttribute(attribute(e, "type"));
            s.type = !type.empty() ? type : style.listStyle;
            if (s.type.empty() || inner.listStyle.empty()) {
                static constexpr const char* kBullets[] = {"disc", "circle", "square"};
                const int bulletDepth = static_cast<int>(std::count_if(
                    m_lists.begin(), m_lists.end(), [](const ListState& l) { return !l.ordered; }));
                s.type = s.ordered ? (type.empty() ? "decimal" : type)
                                   : (type.empty() ? kBullets[std::min(bulletDepth, 2)] : type);
            }
            inner.listStyle.clear();  // each list chooses its own unless CSS says otherwise
            if (s.ordered)
                s.next = integerAttribute(e, "start", -kMaxListNumber, kMaxListNumber).value_or(1);
            m_lists.push_back(s);
            list = true;
        }
        if (block) {
            Block b = blockOf(e, inner);
            if (style.display == Display::ListItem) {
                b.format.leftIndent = inner.indent + kListIndent;
                b.format.firstLineIndent.reset();
                inner.indent += kListIndent;
                std::string type = !style.listStyle.empty()
                                       ? style.listStyle
                                       : (m_lists.empty() ? "disc" : m_lists.back().type);
                int number = 1;
                if (!m_lists.empty()) {
                    ListState& l = m_lists.back();
                    if (auto value = integerAttribute(e, "value", -kMaxListNumber, kMaxListNumber))
                        l.next = *value;
                    number = l.next;
                    l.next = std::min(l.next + 1, kMaxListNumber);
                }
                out.marker = listMarker(type, number);
                out.markerFormat = inner.chars;
                out.markerFormat.charStyle.clear();
                out.markerFormat.underline.reset();
            }
            m_blocks.push_back(b);
            walkChildren(node, inner, depth);
            if (style.display == Display::ListItem && !m_out->marker.empty())
                m_out->begin(m_blocks.back());
            m_out->end();
            m_blocks.pop_back();
        } else {
            walkChildren(node, inner, depth);
        }
        if (list) m_lists.pop_back();
        while (out.links.size() > links) {
            out.closeLinkSegments();
            out.links.pop_back();
        }
        if (!anchor.empty()) addBookmark(anchor, start, out.pos());
    }

    // Ends the paragraph before a block; a list marker still waiting gets its own paragraph.
    // A marker is kept for the first paragraph of an ordinary block (<li><p>text</p>).
    int startBlock(bool keepMarker = false) {
        Output& out = *m_out;
        out.end();
        if (!out.marker.empty() && !keepMarker) {
            out.begin(m_blocks.back());
            out.end();
        }
        return out.pos();
    }

    // Where inline content begins: a waiting space goes before a link or anchor, not inside it.
    int inlineStart(bool flush) {
        Output& out = *m_out;
        if (flush && out.open && out.pendingSpace && out.lineHasText) {
            out.append(u" ", out.markFormat);
            out.pendingSpace = false;
        }
        return out.pos();
    }

    bool openLink(const std::string& href) {
        std::u16string target = fromUtf8(trim(href));
        if (target.empty()) return false;
        const std::string scheme = toLower(toUtf8(target.substr(0, 11)));
        if (scheme.starts_with("javascript:") || scheme.starts_with("vbscript:")) return false;
        OpenLink l;
        l.start = m_out->pos();
        const std::size_t hash = target.find(u'#');
        if (hash == std::u16string::npos) {
            l.address = target;
        } else {
            l.address = target.substr(0, hash);
            l.subAddress = percentDecode(target.substr(hash + 1));
        }
        if (l.address.empty() && l.subAddress.empty()) return false;
        m_out->links.push_back(std::move(l));
        return true;
    }

    void addBookmark(const std::u16string& name, int start, int end = -1) {
        Bookmark b;
        b.name = name;
        b.start = start;
        b.end = end < start ? start : end;
        m_out->frag.bookmarks.push_back(std::move(b));
    }

    void text(std::u16string_view raw, const Computed& style) {
        Output& out = *m_out;
        const Block& block = m_blocks.back();
        std::u16string buffer;
        auto flush = [&] {
            out.append(buffer, style.chars);
            buffer.clear();
        };
        if (style.pre) {
            for (char16_t c : raw) {
                c = sanitize(c);
                if (c == u'\n') {
                    flush();
                    out.begin(block);
                    out.end();
                    continue;
                }
                if (buffer.empty()) {
                    out.beforeContent(block, style.chars);
                }
                buffer += c;
            }
            flush();
            return;
        }
        for (char16_t c : raw) {
            c = sanitize(c);
            if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
                if (out.open && (out.lineHasText || !buffer.empty())) out.pendingSpace = true;
                continue;
            }
            if (buffer.empty()) {
                out.beforeContent(block, style.chars);
            } else if (out.pendingSpace) {
                buffer += u' ';
                out.pendingSpace = false;
            }
            buffer += c;
        }
        flush();
    }

    void picture(const GumboElement& e, const Computed& style) {
        Output& out = *m_out;
        const std::u16string alt = fromUtf8(attribute(e, "alt"));
        PictureData picture;
        bool loaded = false;
        if (const auto file =
                resolveLocalFile(fromUtf8(attribute(e, "src")), m_pageFolder, m_workingFolder)) {
            try {
                picture = loadPicture(*file, true);
                loaded = picture.naturalWidth > 0 && picture.naturalHeight > 0;
            } catch (const std::exception&) {
                // A broken picture shows its alternative text, as a browser does.
            }
        }
        if (!loaded) {
            if (!alt.empty()) text(alt, style);
            return;
        }
        std::optional<double> width = style.width, height = style.height, percent;
        if (!width) sizeAttribute(attribute(e, "width"), width, percent);
        if (!height) sizeAttribute(attribute(e, "height"), height, percent);
        if (width && *width <= 0) width.reset();
        if (height && *height <= 0) height.reset();
        if (width && !height) height = *width * picture.naturalHeight / picture.naturalWidth;
        if (height && !width) width = *height * picture.naturalWidth / picture.naturalHeight;
        picture.width = std::min(width.value_or(picture.naturalWidth), kMaxPictureSide);
        picture.height = std::min(height.value_or(picture.naturalHeight), kMaxPictureSide);
        picture.altText = alt;
        picture.linked = true;
        out.beforeContent(m_blocks.back(), style.chars);
        InlinePicture p;
        p.start = out.pos();
        p.end = p.start + 1;
        p.picture = std::move(picture);
        out.append(std::u16string(1, kPictureChar), style.chars);
        out.frag.pictures.push_back(std::move(p));
    }

    // ---- tables --------------------------------------------------------------------------------

    struct CellOut {
        Fragment content;
        int row = 0;
        int column = 0;
        int rowSpan = 1;
        int colSpan = 1;
        std::optional<int> shading;
        std::optional<double> width;
        std::optional<double> widthPercent;
        std::optional<double> borderWidth;
    };

    void table(const GumboElement& e, const Computed& style, int depth) {
        // The rows in order, with whether they repeat as a header.
        std::vector<std::pair<GumboNode*, bool>> rows;
        std::vector<GumboNode*> sections;  // the element holding each row, or null
        GumboNode* caption = nullptr;
        const GumboVector& children = e.children;
        for (unsigned i = 0; i < children.length; ++i) {
            auto* child = static_cast<GumboNode*>(children.data[i]);
            if (child->type != GUMBO_NODE_ELEMENT) continue;
            const GumboTag tag = child->v.element.tag;
            if (tag == GUMBO_TAG_CAPTION && !caption) caption = child;
            if (tag == GUMBO_TAG_TR) {
                rows.emplace_back(child, false);
                sections.push_back(nullptr);
            }
            if (tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_TFOOT) {
                const GumboVector& inner = child->v.element.children;
                for (unsigned j = 0; j < inner.length; ++j) {
                    auto* row = static_cast<GumboNode*>(inner.data[j]);
                    if (row->type == GUMBO_NODE_ELEMENT && row->v.element.tag == GUMBO_TAG_TR) {
                        rows.emplace_back(row, tag == GUMBO_TAG_THEAD);
                        sections.push_back(child);
                    }
                }
            }
        }
        if (caption) element(caption, style, depth);
        if (rows.empty()) return;

        const double available = std::max(36.0, m_width.back() - style.indent);
        double tableWidth = available;
        if (style.width)
            tableWidth = *style.width;
        else if (style.widthPercent)
            tableWidth = available * *style.widthPercent / 100;
        std::optional<double> attrWidth, attrPercent;
        if (!style.width && !style.widthPercent) {
            sizeAttribute(attribute(e, "width"), attrWidth, attrPercent);
            if (attrWidth)
                tableWidth = *attrWidth;
            else if (attrPercent)
                tableWidth = available * *attrPercent / 100;
        }
        tableWidth = std::clamp(tableWidth, 18.0, 1584.0);

        // Lay the cells out on the grid, rendering each into its own fragment.
        const int rowCount = static_cast<int>(rows.size());
        std::vector<CellOut> cells;
        std::vector<std::vector<int>> grid(static_cast<std::size_t>(rowCount));
        auto occupied = [&](int r, int c) {
            const auto& line = grid[static_cast<std::size_t>(r)];
            return c < static_cast<int>(line.size()) && line[static_cast<std::size_t>(c)] >= 0;
        };
        auto occupy = [&](int r, int c, int index) {
            auto& line = grid[static_cast<std::size_t>(r)];
            if (c >= static_cast<int>(line.size()))
                line.resize(static_cast<std::size_t>(c) + 1, -1);
            line[static_cast<std::size_t>(c)] = index;
        };
        GumboNode* openSection = nullptr;
        for (int r = 0; r < rowCount; ++r) {
            GumboNode* sectionNode = sections[static_cast<std::size_t>(r)];
            if (sectionNode != openSection) {
                if (openSection) m_path.pop_back();
                if (sectionNode) m_path.push_back(keyOf(sectionNode));
                openSection = sectionNode;
            }
            GumboNode* rowNode = rows[static_cast<std::size_t>(r)].first;
            m_path.push_back(keyOf(rowNode));
            const Computed sectionStyle =
                sectionNode ? computeStyle(sectionNode->v.element, style) : style;
            const Computed rowStyle = computeStyle(rowNode->v.element, sectionStyle);
            int column = 0;
            const GumboVector& rowChildren = rowNode->v.element.children;
            for (unsigned i = 0; i < rowChildren.length; ++i) {
                auto* cellNode = static_cast<GumboNode*>(rowChildren.data[i]);
                if (cellNode->type != GUMBO_NODE_ELEMENT) continue;
                const GumboElement& ce = cellNode->v.element;
                if (ce.tag != GUMBO_TAG_TD && ce.tag != GUMBO_TAG_TH) continue;
                while (occupied(r, column)) ++column;
                CellOut cell;
                cell.row = r;
                cell.column = column;
                cell.colSpan = integerAttribute(ce, "colspan", 1, kMaxSpan).value_or(1);
                cell.rowSpan = integerAttribute(ce, "rowspan", 1, rowCount - r).value_or(1);
                m_path.push_back(keyOf(cellNode));
                Computed cellStyle = computeStyle(ce, rowStyle);
                cell.shading = cellStyle.background ? cellStyle.background : rowStyle.background;
                cell.width = cellStyle.width;
                cell.widthPercent = cellStyle.widthPercent;
                if (!cell.width && !cell.widthPercent)
                    sizeAttribute(attribute(ce, "width"), cell.width, cell.widthPercent);
                cell.borderWidth = cellStyle.borderWidth;
                const double cellWidth = cell.width.value_or(tableWidth / 2);
                cellStyle.indent = 0;
                cellStyle.rightIndent = 0;
                cellStyle.blockShading.reset();
                cell.content = renderCell(cellNode, cellStyle, cellWidth, depth);
                m_path.pop_back();
                const int index = static_cast<int>(cells.size());
                for (int rr = r; rr < r + cell.rowSpan; ++rr)
                    for (int cc = column; cc < column + cell.colSpan; ++cc) occupy(rr, cc, index);
                column += cell.colSpan;
                cells.push_back(std::move(cell));
            }
            m_path.pop_back();
        }
        if (openSection) m_path.pop_back();
        int columns = 0;
        for (const auto& line : grid) columns = std::max(columns, static_cast<int>(line.size()));
        if (columns == 0) return;

        // Column widths: those the cells give, the rest sharing what is left.
        std::vector<std::optional<double>> known(static_cast<std::size_t>(columns));
        for (const CellOut& c : cells) {
            if (c.colSpan != 1) continue;
            std::optional<double> w = c.width;
            if (!w && c.widthPercent) w = tableWidth * *c.widthPercent / 100;
            auto& k = known[static_cast<std::size_t>(c.column)];
            if (w && *w > 0 && (!k || *w > *k)) k = *w;
        }
        double knownSum = 0;
        int unknown = 0;
        for (const auto& k : known) k ? knownSum += *k : ++unknown;
        const double share = unknown > 0 ? std::max(18.0, (tableWidth - knownSum) / unknown) : 0;

        TableInfo info;
        for (const auto& k : known) info.grid.push_back(k.value_or(share));
        info.borderWidth = std::clamp(style.borderWidth.value_or(0), 0.0, 6.0);
        if (info.borderWidth == 0)
            for (const CellOut& c : cells)
                if (c.borderWidth && *c.borderWidth > 0)
                    info.borderWidth = std::min(*c.borderWidth, 6.0);
        if (hasAttribute(e, "align")) info.alignment = alignmentOf(attribute(e, "align"));
        if (info.alignment == 3) info.alignment.reset();

        Output& out = *m_out;
        // A link around a table covers the text before and after it, never its cells.
        out.closeLinkSegments();
        const int tableIndex = static_cast<int>(out.frag.tables.size());
        out.frag.tables.push_back({});
        for (int r = 0; r < rowCount; ++r) {
            RowInfo row;
            row.header = rows[static_cast<std::size_t>(r)].second;
            const auto& line = grid[static_cast<std::size_t>(r)];
            int modelColumn = 0;
            for (int c = 0; c < columns;) {
                const int index =
                    c < static_cast<int>(line.size()) ? line[static_cast<std::size_t>(c)] : -1;
                CellInfo ci;
                const CellRef ref{tableIndex, r, modelColumn++};
                if (index < 0) {
                    ci.width = info.grid[static_cast<std::size_t>(c)];
                    appendEmptyCell(ref);
                    ++c;
                } else {
                    CellOut& cell = cells[static_cast<std::size_t>(index)];
                    ci.gridSpan = cell.colSpan;
                    for (int cc = c; cc < c + cell.colSpan && cc < columns; ++cc)
                        ci.width += info.grid[static_cast<std::size_t>(cc)];
                    ci.shading = cell.shading;
                    if (cell.row == r) {
                        ci.verticalMerge = cell.rowSpan > 1 ? 1 : 0;
                        appendCell(std::move(cell.content), ref);
                    } else {
                        ci.verticalMerge = 2;
                        appendEmptyCell(ref);
                    }
                    c += cell.colSpan;
                }
                row.cells.push_back(ci);
            }
            info.rows.push_back(std::move(row));
        }
        out.frag.tables[static_cast<std::size_t>(tableIndex)] = std::move(info);
        for (OpenLink& l : out.links) l.start = out.pos();
    }

    Fragment renderCell(GumboNode* node, const Computed& style, double width, int depth) {
        Output cell;
        Output* saved = m_out;
        m_out = &cell;
        m_width.push_back(width);
        m_blocks.push_back(blockOf(node->v.element, style));
        const std::size_t lists = m_lists.size();
        walkChildren(node, style, depth);
        m_lists.resize(lists);
        cell.end();
        if (!cell.marker.empty()) {
            cell.begin(m_blocks.back());
            cell.end();
        }
        // A cell ends with a paragraph of its own, also after a table inside it.
        if (cell.frag.paragraphs.empty() || !cell.frag.paragraphs.back().cells.empty()) {
            cell.begin(m_blocks.back());
            cell.end();
        }
        cell.frag.text.back() = kCellMark;
        m_blocks.pop_back();
        m_width.pop_back();
        m_out = saved;
        return std::move(cell.frag);
    }

    void appendEmptyCell(const CellRef& ref) {
        Fragment f;
        f.text = std::u16string(1, kCellMark);
        f.runs.emplace_back(1, CharFormat{});
        f.paragraphs.emplace_back();
        appendCell(std::move(f), ref);
    }

    // Appends a cell's fragment to the current output, its paragraphs placed in cell `ref`.
    void appendCell(Fragment&& cell, const CellRef& ref) {
        Fragment& to = m_out->frag;
        const int shift = static_cast<int>(to.text.size());
        const int tableBase = static_cast<int>(to.tables.size());
        to.text += cell.text;
        for (auto& run : cell.runs) {
            if (!to.runs.empty() && to.runs.back().second == run.second)
                to.runs.back().first += run.first;
            else
                to.runs.push_back(std::move(run));
        }
        for (ParaFormat& p : cell.paragraphs) {
            for (CellRef& inner : p.cells) inner.table += tableBase;
            p.cells.insert(p.cells.begin(), ref);
            to.paragraphs.push_back(std::move(p));
        }
        for (TableInfo& t : cell.tables) to.tables.push_back(std::move(t));
        auto moved = [shift](auto item) {
            item.start += shift;
            item.end += shift;
            return item;
        };
        for (const Bookmark& b : cell.bookmarks) to.bookmarks.push_back(moved(b));
        for (const Hyperlink& h : cell.hyperlinks) to.hyperlinks.push_back(moved(h));
        for (const InlinePicture& p : cell.pictures) to.pictures.push_back(moved(p));
    }

    // ---- into the document ---------------------------------------------------------------------

    void insert(Fragment frag) {
        if (frag.text.empty()) return;
        Story& body = m_model.body();
        // The page's last paragraph becomes the document's final one.
        std::optional<ParaFormat> last;
        CharFormat lastMark;
        if (frag.text.back() == kParagraphMark && !frag.paragraphs.empty() &&
            frag.paragraphs.back().cells.empty()) {
            last = frag.paragraphs.back();
            frag.paragraphs.pop_back();
            lastMark = frag.runs.back().second;
            frag.text.pop_back();
            if (--frag.runs.back().first == 0) frag.runs.pop_back();
            const int end = static_cast<int>(frag.text.size());
            for (Bookmark& b : frag.bookmarks) {
                b.start = std::min(b.start, end);
                b.end = std::min(b.end, end);
            }
            for (Hyperlink& h : frag.hyperlinks) h.end = std::min(h.end, end);
        }
        std::erase_if(frag.hyperlinks, [](const Hyperlink& h) { return h.start >= h.end; });
        std::stable_sort(frag.bookmarks.begin(), frag.bookmarks.end(),
                         [](const Bookmark& a, const Bookmark& b) { return a.start < b.start; });
        std::stable_sort(frag.hyperlinks.begin(), frag.hyperlinks.end(),
                         [](const Hyperlink& a, const Hyperlink& b) { return a.start < b.start; });
        if (!frag.text.empty()) m_model.insert(body, 0, std::move(frag));
        if (last) {
            body.paragraphFormat(body.paragraphCount() - 1) = *last;
            body.formatCharacters(body.length() - 1, body.length(),
                                  [&](CharFormat& f) { f = lastMark; });
        }
    }

    DocumentModel& m_model;
    std::u16string m_pageFolder;
    std::u16string m_workingFolder;
    int m_pageEncoding;  // as GetTextEncoding gives it
    StyleSheetSet m_defaults;
    StyleSheetSet m_sheets;
    std::unordered_set<std::u16string> m_sheetsRead;
    std::vector<ElementKey> m_path;
    std::vector<Block> m_blocks;
    std::vector<ListState> m_lists;
    std::vector<double> m_width{kTextWidth};
    Output* m_out = nullptr;
};

// The memory of one parse. gumbo_destroy_output frees the tree by recursion, one call per level
// of nesting, which a hostile page nests deep enough to exhaust the stack; gumbo allocates through
// this instead, and whatever it still holds is freed in one loop when the reading is done.
class ParseMemory {
public:
    ParseMemory() = default;
    ParseMemory(const ParseMemory&) = delete;
    ParseMemory& operator=(const ParseMemory&) = delete;
    ~ParseMemory() {
        while (m_blocks) {
            Block* next = m_blocks->next;
            std::free(m_blocks);
            m_blocks = next;
        }
    }

    // Makes a parse with `options` allocate here.
    void serve(GumboOptions& options) {
        options.allocator = &allocate;
        options.deallocator = &deallocate;
        options.userdata = this;
    }

private:
    // Each allocation is preceded by its links in the list of live blocks.
    struct alignas(std::max_align_t) Block {
        Block* previous;
        Block* next;
    };

    static void* allocate(void* self, std::size_t size) {
        auto& memory = *static_cast<ParseMemory*>(self);
        void* raw = std::malloc(sizeof(Block) + size);
        if (!raw) return nullptr;  // as gumbo's own allocator would
        auto* block = new (raw) Block{nullptr, memory.m_blocks};
        if (memory.m_blocks) memory.m_blocks->previous = block;
        memory.m_blocks = block;
        return block + 1;
    }

    static void deallocate(void* self, void* pointer) {
        if (!pointer) return;
        auto& memory = *static_cast<ParseMemory*>(self);
        Block* block = static_cast<Block*>(pointer) - 1;
        if (block->previous)
            block->previous->next = block->next;
        else
            memory.m_blocks = block->next;
        if (block->next) block->next->previous = block->previous;
        std::free(block);
    }

    Block* m_blocks = nullptr;
};

}  // namespace

void readWebPage(DocumentModel& model, const std::u16string& path,
                 const std::u16string& workingFolder) {
    const std::filesystem::path file = toPath(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        throw std::runtime_error("cannot read " + toUtf8(path) + ": no such file");
    const std::u16string text = ReadTextFile(path, u"");
    const std::string utf8 = toUtf8(text);
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;  // the parse errors of a messy page are of no use here
    ParseMemory memory;      // frees the tree, which is not handed to gumbo_destroy_output
    memory.serve(options);
    const GumboOutput* output = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
    if (!output)
        throw std::runtime_error("cannot read " + toUtf8(path) + ": the page could not be parsed");
    const std::u16string pageFolder = fromPath(file.parent_path());
    PageReader reader(model, pageFolder, workingFolder.empty() ? pageFolder : workingFolder,
                      GetTextEncoding(text));
    reader.read(output->document);
}

}  // namespace quillet::engine::html

namespace quillet::engine {

void registerWebPageReader(html::WorkingFolderOf workingFolderOf) {
    setWebPageReader([workingFolderOf = std::move(workingFolderOf)](DocumentModel& model,
                                                                    const std::u16string& path) {
        html::readWebPage(
            model, path,
            workingFolderOf ? workingFolderOf(path) : currentTextContext().workingFolder);
    });
}

}  // namespace quillet::engine
