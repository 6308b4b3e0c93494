#include "engine/html/web_page_reader.h"

#include "engine/document_model.h"
#include "engine/html/computed_style.h"
#include "engine/html/css.h"
#include "engine/html/html_elements.h"
#include "engine/html/list_markers.h"
#include "engine/html/local_address.h"
#include "engine/html/nesting_guard.h"
#include "engine/html/table_reader.h"
#include "engine/picture.h"
#include "engine/stop_check.h"
#include "engine/word_engine.h"
#include "platform/ascii.h"
#include "platform/utf.h"
#include "text/text_context.h"
#include "text/text_files.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quillet::engine::html {

namespace {

// The width a table may take when the page gives none: a letter page less one-inch margins.
constexpr double kTextWidth = 468;
// Elements nested deeper than this are read for their text only, so that a hostile page cannot
// exhaust the stack; real pages stay far below it.
constexpr int kMaxDepth = 200;
// How many of those levels a table counts for: reading one (its rows, cells and caption) takes
// several times the stack of another element, so tables nest at most a quarter as deep.
constexpr int kTableDepth = 4;
// Style sheets that import others: how deep the chain may go.
constexpr int kMaxImportDepth = 4;

// The browser's own style sheet, parsed once.
const StyleSheetSet& defaultSheets() {
    static const StyleSheetSet sheets = [] {
        StyleSheetSet set;
        set.add(defaultStyleSheet());
        return set;
    }();
    return sheets;
}

// A style sheet file read and parsed: the pages of a help file mostly link the same one or two,
// so each is parsed once per content and encoding rather than once per page. A sheet whose size
// or modification time changed is read again.
struct ParsedSheet {
    std::string stamp;
    StyleSheetSet rules;
    std::vector<std::string> imports;
};

class SheetCache {
public:
    // The parsed sheet of `file` under `key` (the file and the encodings that decode it), read
    // and parsed by `parse` when it is not known or has changed.
    template <class Parse>
    std::shared_ptr<const ParsedSheet> get(const std::u16string& file, const std::u16string& key,
                                           Parse parse) {
        const std::string stamp = stampOf(file);
        {
            const std::lock_guard lock(m_mutex);
            const auto found = m_sheets.find(key);
            if (found != m_sheets.end() && !stamp.empty() && found->second->stamp == stamp)
                return found->second;
        }
        auto parsed = std::make_shared<ParsedSheet>(parse());
        parsed->stamp = stamp;
        const std::lock_guard lock(m_mutex);
        if (m_sheets.size() >= kKept) m_sheets.clear();
        m_sheets[key] = parsed;
        return parsed;
    }

private:
    static constexpr std::size_t kKept = 64;
    static std::string stampOf(const std::u16string& file) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(toPath(file), ec);
        if (ec) return {};
        const auto time = std::filesystem::last_write_time(toPath(file), ec);
        if (ec) return {};
        return std::to_string(size) + ":" + std::to_string(time.time_since_epoch().count());
    }

    std::mutex m_mutex;
    std::unordered_map<std::u16string, std::shared_ptr<const ParsedSheet>> m_sheets;
};

SheetCache& sheetCache() {
    static SheetCache cache;
    return cache;
}

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
    // The block whose paragraph a line end of preformatted text has just closed: its next
    // paragraph continues it, so the block's spacing stands before its first line and after
    // its last only.
    std::optional<ParaFormat> continuedBlock;
    ParaFormat paraFormat;
    CharFormat markFormat;
    ListItem item;  // the list of a list item waiting for its first paragraph
    std::vector<OpenLink> links;

    int pos() const { return static_cast<int>(frag.text.size()); }

    void append(std::u16string_view text, const CharFormat& format) { frag.append(text, format); }

    void begin(const Block& block) {
        if (open) return;
        open = true;
        lineHasText = false;
        pendingSpace = false;
        pendingBreaks = 0;
        paraFormat = block.format;
        markFormat = block.mark;
        if (continuedBlock && *continuedBlock == block.format) paraFormat.spaceBefore.reset();
        continuedBlock.reset();
        if (item.list != 0) {
            paraFormat.list = item.list;
            paraFormat.listLevel = item.level;
            paraFormat.firstLineIndent = -kListIndent;
            item = {};
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
        frag.addParagraph(paraFormat);
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

// Characters that would be structure in a story (paragraph marks, cell ends, field characters)
// and other control characters are no text of a page.
char16_t sanitize(char16_t c) {
    if (c == u'\t' || c == u'\n') return c;
    if (c < 0x20 || c == 0x7F) return u' ';
    return c;
}

class PageReader final : private TableWalk {
public:
    PageReader(DocumentModel& model, std::u16string page, std::u16string pageFolder,
               std::u16string workingFolder, int pageEncoding)
        : m_model(model),
          m_page(std::move(page)),
          m_pageFolder(std::move(pageFolder)),
          m_workingFolder(std::move(workingFolder)),
          m_pageEncoding(pageEncoding) {}

    void read(GumboNode* document) {
        collectStyles(document);
        Output out;
        m_out = &out;
        Computed root;
        m_blocks.push_back(Block{});
        walkChildren(document, root, 0);
        out.end();
        out.item = {};
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
            m_stop.step();
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
            const std::string media = lowerAscii(attribute(e, "media"));
            if (media.empty() || media.find("screen") != std::string::npos ||
                media.find("all") != std::string::npos)
                addSheet(css, m_pageFolder, 0);
            return true;
        }
        if (e.tag == GUMBO_TAG_LINK) {
            const std::string rel = lowerAscii(attribute(e, "rel"));
            const std::string media = lowerAscii(attribute(e, "media"));
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
        std::u16string key = *file;
        key += u'\0';
        key +=
            fromUtf8(std::to_string(m_pageEncoding) + ":" + std::to_string(SystemAnsiCodePage()));
        const auto sheet = sheetCache().get(*file, key, [&] {
            // A style sheet is text like the page: read by its mark, else the job's code page.
            ParsedSheet parsed;
            parsed.imports = parsed.rules.add(toUtf8(ReadTextFile(*file, sheetCodePage(*file))));
            return parsed;
        });
        m_sheets.append(sheet->rules);
        const std::u16string sheetFolder = fromPath(toPath(*file).parent_path());
        for (const std::string& import : sheet->imports)
            if (depth < kMaxImportDepth) addSheetFile(fromUtf8(import), sheetFolder, depth + 1);
    }

    // The code page of a style sheet: its "@charset", else the page's own encoding, else the
    // job's ANSI code page (empty).
    std::u16string sheetCodePage(const std::u16string& file) const {
        std::string head(64, '\0');
        std::ifstream in(toPath(file), std::ios::binary);
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        int encoding = m_pageEncoding;
        if (lowerAscii(head).starts_with("@charset")) {
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

    // The computed style of `e`, the innermost of the open elements, under `parent`.
    Computed styleOf(const GumboElement& e, const Computed& parent) override {
        Computed c = computeStyle(cascade(e, m_path, defaultSheets(), m_sheets), parent,
                                  defaultDisplay(e.tag));
        if (hasAttribute(e, "hidden")) c.display = Display::None;
        return c;
    }

    void enter(const GumboNode* node) override { m_path.push_back(elementKey(node)); }
    void leave() override { m_path.pop_back(); }

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
        b.format.spaceBefore =
            c.marginTop ? std::optional<double>(std::clamp(*c.marginTop, 0.0, kMaxLength))
                        : std::nullopt;
        b.format.spaceAfter =
            c.marginBottom ? std::optional<double>(std::clamp(*c.marginBottom, 0.0, kMaxLength))
                           : std::nullopt;
        b.format.shading = c.blockShading;
        // CSS's "normal" is about 1.2 times the font size, where Word's single spacing is.
        if (c.lineHeightFactor && std::abs(*c.lineHeightFactor - 1.2) > 0.05) {
            b.format.lineSpacingRule = 5;
            b.format.lineSpacing = std::clamp(*c.lineHeightFactor / 1.2 * 12, 6.0, 132.0);
        } else if (c.lineHeightPoints) {
            b.format.lineSpacingRule = 3;
            b.format.lineSpacing = *c.lineHeightPoints;
        }
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
        m_stop.step();
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
            m_stop.step();
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
        enter(node);
        const Computed style = styleOf(e, parent);
        if (style.display != Display::None) content(node, e, style, depth);
        leave();
    }

    void content(GumboNode* node, const GumboElement& e, const Computed& style, int depth) {
        Output& out = *m_out;
        // Anchors: a bookmark over the element for its id, and for the name of an A element too
        // (links may name either, and pages often give both, different or alike).
        std::vector<std::u16string> anchors;
        if (std::u16string id = fromUtf8(attribute(e, "id")); !id.empty())
            anchors.push_back(std::move(id));
        if (e.tag == GUMBO_TAG_A)
            if (std::u16string name = fromUtf8(attribute(e, "name"));
                !name.empty() && (anchors.empty() || name != anchors.front()))
                anchors.push_back(std::move(name));
        const bool anchored = !anchors.empty();
        const auto addBookmarks = [&](int from, auto... to) {
            for (const std::u16string& anchor : anchors) addBookmark(anchor, from, to...);
        };
        const bool block = style.display != Display::Inline;

        if (e.tag == GUMBO_TAG_BR) {
            out.begin(m_blocks.back());
            out.pendingSpace = false;
            ++out.pendingBreaks;
            out.lineHasText = false;
            if (anchored) addBookmarks(out.pos());
            return;
        }
        if (e.tag == GUMBO_TAG_IMG) {
            picture(e, style);
            return;
        }
        if (e.tag == GUMBO_TAG_TABLE) {
            const int start = startBlock();
            table(e, style, depth + kTableDepth - 1);
            if (anchored) addBookmarks(start, m_out->pos());
            return;
        }
        if (e.tag == GUMBO_TAG_HR) {
            startBlock();
            Block b = blockOf(e, style);
            // A rule across the text: an empty paragraph with a line under it.
            b.format.bottomBorder = std::clamp(style.height.value_or(0.75), 0.25, 6.0);
            b.format.lineSpacingRule = 4;
            b.format.lineSpacing = 6;
            out.begin(b);
            out.end();
            if (anchored) addBookmarks(out.pos() - 1, out.pos() - 1);
            return;
        }

        const bool nested = e.tag == GUMBO_TAG_UL || e.tag == GUMBO_TAG_OL ||
                            e.tag == GUMBO_TAG_DIR || e.tag == GUMBO_TAG_MENU ||
                            style.display == Display::ListItem;
        int start =
            block ? startBlock(!nested)
                  : inlineStart(anchored || (e.tag == GUMBO_TAG_A && hasAttribute(e, "href")));
        const std::size_t links = out.links.size();
        Computed inner = style;
        if (e.tag == GUMBO_TAG_A && hasAttribute(e, "href")) {
            if (openLink(attribute(e, "href"))) inner.chars.charStyle = u"Hyperlink";
        }
        bool list = false;
        if (e.tag == GUMBO_TAG_UL || e.tag == GUMBO_TAG_OL || e.tag == GUMBO_TAG_DIR ||
            e.tag == GUMBO_TAG_MENU) {
            m_lists.open(e, style.listStyle);
            inner.listStyle.clear();  // each list chooses its own unless CSS says otherwise
            list = true;
        }
        if (block) {
            Block b = blockOf(e, inner);
            if (style.display == Display::ListItem) {
                b.format.leftIndent = inner.indent + kListIndent;
                b.format.firstLineIndent.reset();
                inner.indent += kListIndent;
                out.item = m_lists.nextItem(e, style.listStyle);
            }
            m_blocks.push_back(b);
            walkChildren(node, inner, depth);
            if (style.display == Display::ListItem && m_out->item.list != 0)
                m_out->begin(m_blocks.back());
            m_out->end();
            // Preformatted text that ended in a line end: its last line keeps the block's
            // space after it.
            if (m_out->continuedBlock && *m_out->continuedBlock == b.format &&
                b.format.spaceAfter && !m_out->frag.paragraphs.empty()) {
                ParaFormat last = m_out->frag.paraFormats[m_out->frag.paragraphs.back()];
                last.spaceAfter = b.format.spaceAfter;
                m_out->frag.paragraphs.back() = m_out->frag.paraFormats.intern(last);
            }
            m_out->continuedBlock.reset();
            m_blocks.pop_back();
        } else {
            walkChildren(node, inner, depth);
        }
        if (list) m_lists.close();
        while (out.links.size() > links) {
            out.closeLinkSegments();
            out.links.pop_back();
        }
        if (anchored) addBookmarks(start, out.pos());
    }

    // Ends the paragraph before a block; a list item still waiting gets its own paragraph. It is
    // kept for the first paragraph of an ordinary block (<li><p>text</p>).
    int startBlock(bool keepItem = false) {
        Output& out = *m_out;
        out.end();
        if (out.item.list != 0 && !keepItem) {
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
        const std::string scheme = lowerAscii(toUtf8(target.substr(0, 11)));
        if (scheme.starts_with("javascript:") || scheme.starts_with("vbscript:")) return false;
        OpenLink l;
        l.start = m_out->pos();
        const std::size_t hash = target.find(u'#');
        // An address that leaves the document ("http://site/p.php?p=1#1") is kept exactly, its
        // fragment with it: the fragment names a place in that page, no bookmark here.
        const std::size_t colon = target.find(u':');
        const bool leaves =
            colon != std::u16string::npos && colon > 0 && colon < target.find_first_of(u"/?#") &&
            std::all_of(target.begin(), target.begin() + static_cast<long>(colon), [](char16_t c) {
                return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                       (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
            });
        if (hash == std::u16string::npos || leaves) {
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
                    // The line goes on in the next paragraph; should the block end here
                    // instead, its last line loses the space after it, a few points.
                    out.paraFormat.spaceAfter.reset();
                    out.end();
                    out.continuedBlock = block.format;
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
            m_stop.now();
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
        picture.width = std::min(width.value_or(picture.naturalWidth), kMaxLength);
        picture.height = std::min(height.value_or(picture.naturalHeight), kMaxLength);
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

    void table(const GumboElement& e, const Computed& style, int depth) {
        std::optional<Fragment> table = readTable(e, style, m_width.back(), depth, *this);
        if (!table) return;
        Output& out = *m_out;
        // A link around a table covers the text before and after it, never its cells.
        out.closeLinkSegments();
        appendFragment(out.frag, std::move(*table));
        for (OpenLink& l : out.links) l.start = out.pos();
    }

    void caption(GumboNode* node, const Computed& tableStyle, int depth) override {
        element(node, tableStyle, depth);
    }

    Fragment cell(GumboNode* node, const Computed& style, double width, int depth) override {
        Output cell;
        Output* saved = m_out;
        m_out = &cell;
        m_width.push_back(width);
        m_blocks.push_back(blockOf(node->v.element, style));
        const std::size_t lists = m_lists.depth();
        walkChildren(node, style, depth);
        m_lists.closeTo(lists);
        cell.end();
        if (cell.item.list != 0) {
            cell.begin(m_blocks.back());
            cell.end();
        }
        // A cell ends with a paragraph of its own, also after a table inside it.
        if (cell.frag.paragraphs.empty() ||
            !cell.frag.paragraphFormat(cell.frag.paragraphs.size() - 1).cells.empty()) {
            cell.begin(m_blocks.back());
            cell.end();
        }
        cell.frag.text.back() = kCellMark;
        m_blocks.pop_back();
        m_width.pop_back();
        m_out = saved;
        return std::move(cell.frag);
    }

    // The cells' text is measured in the fonts of the document's styles.
    const StyleSheet& styles() override { return m_model.styles(); }

    // A message of the page's reading goes where the job's messages go; a page read ahead keeps
    // it for the thread that opens the page.
    void warning(const std::u16string& text) override {
        TextUserInterface().showMessage(MessageKind::Warning, m_page + u": " + text);
    }

    // ---- into the document ---------------------------------------------------------------------

    void insert(Fragment frag) {
        if (frag.text.empty()) return;
        Story& body = m_model.body();
        // The page's last paragraph becomes the document's final one.
        std::optional<ParaFormat> last;
        CharFormat lastMark;
        if (frag.text.back() == kParagraphMark && !frag.paragraphs.empty() &&
            frag.paragraphFormat(frag.paragraphs.size() - 1).cells.empty()) {
            last = frag.paragraphFormat(frag.paragraphs.size() - 1);
            frag.paragraphs.pop_back();
            lastMark = frag.charFormat(frag.runs.back());
            frag.removeLastCharacter();
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
            body.formatParagraphs(body.paragraphCount() - 1, body.paragraphCount() - 1,
                                  [&](ParaFormat& f) { f = *last; });
            body.formatCharacters(body.length() - 1, body.length(),
                                  [&](CharFormat& f) { f = lastMark; });
        }
    }

    DocumentModel& m_model;
    std::u16string m_page;  // as messages name it
    std::u16string m_pageFolder;
    std::u16string m_workingFolder;
    int m_pageEncoding;  // as GetTextEncoding gives it
    StyleSheetSet m_sheets;
    std::unordered_set<std::u16string> m_sheetsRead;
    std::vector<ElementKey> m_path;
    std::vector<Block> m_blocks;
    ListCounters m_lists{m_model.lists()};
    std::vector<double> m_width{kTextWidth};
    Output* m_out = nullptr;
    StopPoll m_stop;
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
    std::string utf8 = toUtf8(text);
    if (std::optional<std::string> cut = dropExcessAttributes(utf8)) utf8 = std::move(*cut);
    if (std::optional<std::string> flattened = flattenDeepNesting(utf8))
        utf8 = std::move(*flattened);
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;  // the parse errors of a messy page are of no use here
    ParseMemory memory;      // frees the tree, which is not handed to gumbo_destroy_output
    memory.serve(options);
    const GumboOutput* output = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
    if (!output)
        throw std::runtime_error("cannot read " + toUtf8(path) + ": the page could not be parsed");
    const std::u16string pageFolder = fromPath(file.parent_path());
    // Messages name the page by its path in the working folder, which the user's help file
    // has, rather than by the temporary folder's.
    std::u16string shownPath = path;
    if (!workingFolder.empty()) {
        const std::filesystem::path inside = file.lexically_relative(toPath(workingFolder));
        if (!inside.empty() && *inside.begin() != "..") shownPath = fromPath(inside);
    }
    PageReader reader(model, shownPath, pageFolder,
                      workingFolder.empty() ? pageFolder : workingFolder, GetTextEncoding(text));
    reader.read(output->document);
}

}  // namespace quillet::engine::html

namespace quillet::engine {

namespace {

// What a page's reading on another thread has to say, kept until the opening thread tells it.
class KeptMessages : public UserInterface {
public:
    void showMessage(MessageKind kind, const std::u16string& text) override {
        m_messages.emplace_back(kind, text);
    }
    AbortRetry askAbortRetry(const std::u16string&) override { return AbortRetry::Abort; }
    std::optional<std::u16string> askSaveFileName(const std::u16string&) override {
        return std::nullopt;
    }
    void tell(UserInterface& ui) const {
        for (const auto& [kind, text] : m_messages) ui.showMessage(kind, text);
    }

private:
    std::vector<std::pair<MessageKind, std::u16string>> m_messages;
};

}  // namespace

void registerWebPageReader(html::WorkingFolderOf workingFolderOf) {
    const auto folderOf = [workingFolderOf](const std::u16string& path) {
        return workingFolderOf ? workingFolderOf(path) : currentTextContext().workingFolder;
    };
    // A page read ahead is read with the asking thread's code page and working folder; its
    // messages wait for the opening thread, and it is read again if those settings changed.
    const auto prepare = [folderOf](const std::u16string& path) {
        const int codePage = currentTextContext().ansiCodePage;
        const std::u16string folder = folderOf(path);
        auto messages = std::make_shared<KeptMessages>();
        PreparedRead prepared;
        prepared.read = [=](DocumentModel& model) {
            const ScopedTextContext context({codePage, messages.get(), folder});
            html::readWebPage(model, path, folder);
        };
        prepared.stillValid = [=] {
            return currentTextContext().ansiCodePage == codePage && folderOf(path) == folder;
        };
        prepared.deliver = [messages] { messages->tell(TextUserInterface()); };
        return prepared;
    };
    setWebPageReader(
        [folderOf](DocumentModel& model, const std::u16string& path) {
            html::readWebPage(model, path, folderOf(path));
        },
        prepare);
}

}  // namespace quillet::engine
