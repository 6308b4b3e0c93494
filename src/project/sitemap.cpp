#include "project/sitemap.h"

#include "platform/ascii.h"
#include "text/code_pages.h"
#include "text/entities.h"
#include "text/numbers.h"
#include "text/text_files.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillet {

namespace {

enum class ListTag { Open, Close, Item };

// Walks the list structure. `item` collects the text of the open item (everything after its
// LI tag up to the next list tag); `onListTag` runs at each list tag, before the item closes.
// A tag with attributes ("<UL class=x>") is no list tag. An item that no list tag follows is
// never handed over.
template <typename OnListTag>
void scanListStructure(std::u16string_view text, std::u16string& item, OnListTag onListTag) {
    bool inItem = false;  // between an LI tag and the next list tag
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] != u'<') {
            if (inItem) {
                // Copy the run up to the next "<" at once.
                const std::size_t next = std::min(text.find(u'<', i), n);
                item.append(text.substr(i, next - i));
                i = next - 1;
            }
            continue;
        }
        const std::u16string_view three = text.substr(i + 1, 3);
        if (equalsIgnoringAsciiCase(three, u"UL>")) {
            onListTag(ListTag::Open);
            inItem = false;
        } else if (equalsIgnoringAsciiCase(three, u"/UL")) {
            onListTag(ListTag::Close);
            inItem = false;
        } else if (equalsIgnoringAsciiCase(three, u"LI>")) {
            onListTag(ListTag::Item);
            inItem = true;
            i += 3;
        } else if (inItem) {
            item += u'<';
        }
    }
}

// Replaces every occurrence of `word`, in any ASCII letter case, by `word` itself.
void normalizeSpelling(std::u16string& text, std::u16string_view word) {
    const std::u16string folded = lowerAscii(word);
    const std::u16string haystack = lowerAscii(text);
    for (std::size_t at = haystack.find(folded); at != std::u16string::npos;
         at = haystack.find(folded, at + word.size()))
        text.replace(at, word.size(), word);
}

struct ParamTag {
    std::u16string_view tag;              // "<param" up to and including its ">"
    std::optional<std::u16string> value;  // the quoted text after the first value="
    bool has(std::u16string_view attribute) const {
        return tag.find(attribute) != std::u16string_view::npos;
    }
};

// The param tags of an item's text, after the spellings that matter have been normalised.
std::vector<ParamTag> extractParams(std::u16string& itemText,
                                    std::initializer_list<std::u16string_view> spellings) {
    normalizeSpelling(itemText, u"<param");
    normalizeSpelling(itemText, u"value=");
    for (std::u16string_view s : spellings) normalizeSpelling(itemText, s);

    std::vector<ParamTag> params;
    const std::u16string_view text = itemText;
    for (std::size_t start = text.find(u"<param"); start != std::u16string_view::npos;) {
        const std::size_t end = text.find(u'>', start);
        if (end == std::u16string_view::npos) break;
        ParamTag param{text.substr(start, end - start + 1), std::nullopt};
        if (const std::size_t v = param.tag.find(u"value=\""); v != std::u16string_view::npos) {
            const std::size_t open = v + 7;
            if (const std::size_t close = param.tag.find(u'"', open);
                close != std::u16string_view::npos)
                param.value = std::u16string(param.tag.substr(open, close - open));
        }
        params.push_back(std::move(param));
        start = text.find(u"<param", end + 1);
    }
    return params;
}

// Whether `text` holds two characters of U+0080–U+00FF in a row: a byte pair of a multi-byte
// code page, or letters of a word in another script, rather than a lone sign such as "®".
bool holdsHighByteRun(std::u16string_view text) {
    const auto high = [](char16_t c) { return c >= 0x80 && c <= 0xFF; };
    for (std::size_t i = 1; i < text.size(); ++i)
        if (high(text[i - 1]) && high(text[i])) return true;
    return false;
}

std::u16string decodeDstrok(std::u16string text) {
    for (std::size_t at = text.find(u"&Dstrok;"); at != std::u16string::npos;
         at = text.find(u"&Dstrok;", at))
        text.replace(at, 8, u"&#208;");
    return DecodeEntities(text);
}

// The value of a param with its entities decoded. With `entityCodePage` set, a value whose
// characters all lie below U+0100, with a run of high ones among them, had its entities stand
// for bytes of that code page: the bytes are read again in it, unless they are not valid there.
// Some tools write byte D0 as "&Dstrok;", which is read as that byte too.
std::u16string decodedValue(const ParamTag& param, int entityCodePage) {
    if (!param.value) return {};
    const std::u16string plain = DecodeEntities(*param.value);
    if (entityCodePage == 0) return plain;
    const std::u16string decoded = decodeDstrok(*param.value);
    if (!holdsHighByteRun(decoded)) return plain;
    std::string bytes;
    bytes.reserve(decoded.size());
    for (char16_t c : decoded) {
        if (c > 0xFF) return plain;  // real text beside the entities
        bytes += static_cast<char>(c);
    }
    std::u16string reread = DecodeCodePage(bytes, entityCodePage);
    return reread.find(u'\uFFFD') == std::u16string::npos ? reread : plain;
}

std::u16string replacePercent20(std::u16string text) {
    for (std::size_t at = text.find(u"%20"); at != std::u16string::npos;
         at = text.find(u"%20", at + 1))
        text.replace(at, 3, u" ");
    return text;
}

constexpr std::u16string_view kName = u"name=\"Name\"";
constexpr std::u16string_view kLocal = u"name=\"Local\"";
constexpr std::u16string_view kImageNumber = u"name=\"ImageNumber\"";

// The running state of one contents file.
struct ContentsReader {
    TTitleLists& list;
    int entityCodePage = 0;
    int level = -1;
    int entryNumber = 0;
    int contextCounter = 1000;

    void finish(std::u16string& item) {
        if (item.empty()) return;
        const std::vector<ParamTag> params = extractParams(item, {kName, kLocal, kImageNumber});
        std::optional<std::u16string> name;
        std::vector<std::u16string> locals;
        int imageNumber = 0;
        for (const ParamTag& p : params) {
            const bool isNameTag = !name && p.has(kName);
            if (isNameTag) name = decodedValue(p, entityCodePage);
            if (p.has(kLocal) && !isNameTag) locals.push_back(decodedValue(p, entityCodePage));
            if (p.has(kImageNumber)) {
                // An icon number is decoration: a malformed one ("11a") is ignored, not fatal.
                try {
                    imageNumber = StrToInt(p.value.value_or(u""));
                } catch (const NumberConversionError&) {
                    imageNumber = 0;
                }
            }
        }
        item.clear();
        std::u16string withoutHyphens = name.value_or(u"");
        std::erase(withoutHyphens, u'-');
        if (withoutHyphens.empty()) return;

        TTitleList& entry = list.add();
        entry.Topic = *name;
        entry.Level = level;
        entry.Index = entryNumber++;
        entry.Icon = imageNumber;
        if (!locals.empty() && !locals.front().empty()) {
            entry.Url = replacePercent20(locals.front());
            entry.Status = 0;
        } else {
            entry.Status = 2;
        }
        for (char c : std::to_string(contextCounter++))
            entry.ContextNumber += static_cast<char16_t>(c);
    }
};

// The running state of one index file.
struct IndexReader {
    // Entries by ASCII-folded address, each list in contents order.
    std::unordered_map<std::u16string, std::vector<TTitleList*>> byUrl;
    std::vector<std::u16string> keywords;  // enclosing index entries, outermost first
    std::u16string lastKeyword;
    int entityCodePage = 0;

    IndexReader(TTitleLists& list, int codePage) : entityCodePage(codePage) {
        for (std::size_t i = 0; i < list.size(); ++i)
            byUrl[lowerAscii(list[i].Url)].push_back(&list[i]);
    }

    void finish(std::u16string& item) {
        if (item.empty()) return;
        const std::vector<ParamTag> params = extractParams(item, {kName, kLocal});
        item.clear();
        std::u16string keyword;
        if (!params.empty()) {
            for (char16_t c : decodedValue(params.front(), entityCodePage)) {
                keyword += c;
                if (c == u'/') keyword += u'/';
            }
        }
        std::u16string path;
        for (const auto& k : keywords) path += k + u'/';
        for (std::size_t i = 1; i < params.size(); ++i) {
            if (!params[i].has(kLocal)) continue;
            const auto found =
                byUrl.find(lowerAscii(replacePercent20(decodedValue(params[i], entityCodePage))));
            if (found == byUrl.end()) continue;
            for (TTitleList* entry : found->second) {
                if (!entry->Keywords.empty()) entry->Keywords += u"`\\";
                entry->Keywords += path + keyword;
            }
        }
        lastKeyword = std::move(keyword);
    }
};

}  // namespace

int entityBytesCodePage(std::u16string_view text, int codePage) {
    if (codePage == 0 || codePage == 1252 || codePage == 28591 || codePage == 65001 ||
        codePage == 1200 || !hasConverter(codePage))
        return 0;
    if (!GetHtmlCharset(text).empty()) return 0;
    const bool ascii = std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
    if (!ascii || text.find(u'&') == std::u16string_view::npos) return 0;
    try {
        return holdsHighByteRun(decodeDstrok(std::u16string(text))) ? codePage : 0;
    } catch (const NumberConversionError&) {
        // A reference beyond any character ("&#2147483648;") tells nothing of the bytes; the
        // reading of the entry that holds it says what is wrong.
        return 0;
    }
}

void parseContents(std::u16string_view text, TTitleLists& list, int entityCodePage) {
    ContentsReader reader{list, entityCodePage};
    std::u16string item;
    scanListStructure(text, item, [&](ListTag tag) {
        reader.finish(item);
        if (tag == ListTag::Open) ++reader.level;
        if (tag == ListTag::Close) --reader.level;
    });
}

void parseIndex(std::u16string_view text, TTitleLists& list, int entityCodePage) {
    IndexReader reader(list, entityCodePage);
    std::u16string item;
    scanListStructure(text, item, [&](ListTag tag) {
        switch (tag) {
            case ListTag::Open:
                // A nested list belongs to the item before it: its keyword leads the paths.
                if (!item.empty()) {
                    reader.finish(item);
                    reader.keywords.push_back(reader.lastKeyword);
                }
                break;
            case ListTag::Close:
                reader.finish(item);
                if (!reader.keywords.empty()) reader.keywords.pop_back();
                break;
            case ListTag::Item:
                reader.finish(item);
                break;
        }
    });
}

}  // namespace quillet
