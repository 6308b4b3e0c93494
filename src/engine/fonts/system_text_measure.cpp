// The system's text measure: fontconfig picks the files, HarfBuzz shapes the text, and three
// caches keep the cost of a page linear in its text: the fonts of each request, the coverage
// fallback of each font and character, and the width of each piece of text between spaces.
#include "engine/fonts/system_text_measure.h"

#include "engine/fonts/font_names.h"
#include "platform/utf.h"
#include "text/east_asian_fonts.h"

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb.h>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillet::engine::fonts {

namespace {

// What a character measures when no font has it, in ems: half an em for most text, a whole one
// for Chinese, Japanese and Korean characters (their fonts set them on a square).
constexpr double kAverageAdvance = 0.5;
constexpr double kEastAsianAdvance = 1.0;
// The line of a font not found: Arial's proportions.
constexpr LineMetrics kAverageMetrics{0.905, 0.212, 0.033};
// How much wider a bold face made from a regular one sets each character, in ems.
constexpr double kSyntheticBold = 0.02;
// Word sets text without kerning or ligatures unless a document asks for them.
constexpr std::array<hb_feature_t, 3> kWordFeatures = {{
    {HB_TAG('k', 'e', 'r', 'n'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
    {HB_TAG('l', 'i', 'g', 'a'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
    {HB_TAG('c', 'l', 'i', 'g'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
}};
// Past this many cached widths the width cache starts again: a bound on memory for a process
// that reads page after page in ever new fonts.
constexpr std::size_t kMaxCachedWidths = 1'000'000;

// One font file (or one face of a collection), shaped through HarfBuzz, immutable once made.
struct Font {
    hb_font_t* hb = nullptr;
    FcCharSet* charset = nullptr;
    double unitsPerEm = 1000;
    LineMetrics perEm;  // in ems
    ~Font() {
        if (hb) hb_font_destroy(hb);
        if (charset) FcCharSetDestroy(charset);
    }
};

// A request's font for one script: what fontconfig matched, the sorted list it falls back on,
// and the font found for each character the matched one lacks.
struct Face {
    const Font* font = nullptr;  // null when none was found
    bool embolden = false;       // bold asked for, a regular face found
    FcPattern* pattern = nullptr;
    FcFontSet* sorted = nullptr;  // made at the first character the font lacks
    std::unordered_map<char32_t, const Font*> fallback;
    ~Face() {
        if (sorted) FcFontSetDestroy(sorted);
        if (pattern) FcPatternDestroy(pattern);
    }
};

struct ResolvedRequest {
    Face latin;
    Face eastAsia;
};

double hbPosition(hb_font_t* font, hb_ot_metrics_tag_t tag, hb_ot_metrics_tag_t otherwise) {
    hb_position_t p = 0;
    if (!hb_ot_metrics_get_position(font, tag, &p)) hb_ot_metrics_get_position(font, otherwise, &p);
    return std::abs(static_cast<double>(p));
}

std::string fcString(FcPattern* p, const char* object) {
    FcChar8* s = nullptr;
    return FcPatternGetString(p, object, 0, &s) == FcResultMatch
               ? std::string(reinterpret_cast<const char*>(s))
               : std::string();
}

void addFamily(FcPattern* p, std::string_view family) {
    if (family.empty()) return;
    const std::string f(family);
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(f.c_str()));
}

// A text's characters, one code point at a time.
char32_t codePointAt(std::u16string_view text, std::size_t& i) {
    const char16_t c = text[i++];
    if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
        return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i++] - 0xDC00);
    return c;
}

class SystemTextMeasure final : public TextMeasure {
public:
    explicit SystemTextMeasure(FcConfig* config) : m_config(config) {}
    ~SystemTextMeasure() override {
        m_resolved.clear();
        m_fonts.clear();
        if (m_config) FcConfigDestroy(m_config);
    }

    double width(std::u16string_view text, const FontRequest& font) override {
        double total = 0;
        // Pieces of text up to and with a space, and each East Asian character alone: the
        // places where lines break most, so that pieces repeat and the cache serves them.
        std::size_t start = 0;
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t at = i;
            const char32_t c = codePointAt(text, i);
            if (isEastAsian(c)) {
                if (at > start) total += pieceWidth(text.substr(start, at - start), font);
                total += pieceWidth(text.substr(at, i - at), font);
                start = i;
            } else if (c == u' ') {
                total += pieceWidth(text.substr(start, i - start), font);
                start = i;
            }
        }
        if (start < text.size()) total += pieceWidth(text.substr(start), font);
        return total;
    }

    LineMetrics metrics(const FontRequest& request) override {
        const Font* font = nullptr;
        {
            std::lock_guard lock(m_fontMutex);
            font = resolve(request).latin.font;
        }
        const LineMetrics em = font ? font->perEm : kAverageMetrics;
        return {em.ascent * request.size, em.descent * request.size, em.lineGap * request.size};
    }

    LineMetrics eastAsiaMetrics(const FontRequest& request) override {
        const Font* font = nullptr;
        {
            std::lock_guard lock(m_fontMutex);
            const auto& resolved = resolve(request);
            font = resolved.eastAsia.font ? resolved.eastAsia.font : resolved.latin.font;
        }
        const LineMetrics em = font ? font->perEm : kAverageMetrics;
        return {em.ascent * request.size, em.descent * request.size, em.lineGap * request.size};
    }

private:
    double pieceWidth(std::u16string_view piece, const FontRequest& request) {
        {
            std::shared_lock lock(m_widthMutex);
            const auto forRequest = m_widths.find(request);
            if (forRequest != m_widths.end()) {
                const auto found = forRequest->second.find(std::u16string(piece));
                if (found != forRequest->second.end()) return found->second;
            }
        }
        const double w = shapedWidth(piece, request);
        std::unique_lock lock(m_widthMutex);
        if (m_widthCount >= kMaxCachedWidths) {
            m_widths.clear();
            m_widthCount = 0;
        }
        if (m_widths[request].emplace(std::u16string(piece), w).second) ++m_widthCount;
        return w;
    }

    // A run of characters that one font sets.
    struct Run {
        std::size_t start = 0, end = 0;
        const Font* font = nullptr;
        bool embolden = false;
        double averageEms = 0;  // when no font has them
    };

    double shapedWidth(std::u16string_view text, const FontRequest& request) {
        std::vector<Run> runs;
        {
            std::lock_guard lock(m_fontMutex);
            ResolvedRequest& resolved = resolve(request);
            for (std::size_t i = 0; i < text.size();) {
                const std::size_t at = i;
                const char32_t c = codePointAt(text, i);
                if (c < 0x20 || c == 0x7F) continue;  // the engine's marks take no room
                const bool eastAsian = isEastAsian(c);
                Face& face = eastAsian ? resolved.eastAsia : resolved.latin;
                const Font* font = fontFor(face, c);
                if (runs.empty() || runs.back().font != font || runs.back().end != at ||
                    runs.back().embolden != face.embolden)
                    runs.push_back({at, at, font, face.embolden, 0});
                runs.back().end = i;
                if (!font)
                    runs.back().averageEms += eastAsian ? kEastAsianAdvance : kAverageAdvance;
            }
        }
        double ems = 0;
        for (const Run& run : runs) {
            if (!run.font) {
                ems += run.averageEms;
                continue;
            }
            hb_buffer_t* buffer = hb_buffer_create();
            hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t*>(text.data()),
                                static_cast<int>(text.size()), static_cast<unsigned>(run.start),
                                static_cast<int>(run.end - run.start));
            hb_buffer_guess_segment_properties(buffer);
            hb_shape(run.font->hb, buffer, kWordFeatures.data(),
                     static_cast<unsigned>(kWordFeatures.size()));
            unsigned count = 0;
            const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
            double units = 0;
            for (unsigned g = 0; g < count; ++g) units += positions[g].x_advance;
            hb_buffer_destroy(buffer);
            ems += units / run.font->unitsPerEm;
            if (run.embolden) ems += kSyntheticBold * count;
        }
        return ems * request.size;
    }

    // The request's fonts, found at its first use. Called with m_fontMutex held.
    ResolvedRequest& resolve(const FontRequest& request) {
        auto& slot = m_resolved[request];
        if (slot) return *slot;
        slot = std::make_unique<ResolvedRequest>();

        const std::string family = toUtf8(request.family);
        FcPattern* latin = FcPatternCreate();
        addFamily(latin, family);
        addFamily(latin, metricCompatibleFamily(request.family));
        matchFace(slot->latin, latin, request);

        // East Asian text: the named font, else what fontconfig's own rules give for the name in
        // the text's language (the language of the name when the text has none). LibreOffice,
        // which lays the same documents out on this machine, asks fontconfig the same way, and
        // its choice (WenQuanYi for MS Mincho here, Noto Serif CJK for SimSun) sets line heights.
        const std::u16string& eaName =
            request.eastAsiaFamily.empty() ? request.family : request.eastAsiaFamily;
        const EastAsianFont* named = eastAsianFont(eaName);
        const EastAsianScript* script = eastAsianScriptOfTag(toUtf8(request.language));
        std::string language;
        if (script)
            language = toUtf8(script->tag);
        else if (named)
            language = named->language;
        FcPattern* eastAsia = FcPatternCreate();
        addFamily(eastAsia, toUtf8(eaName));
        if (!language.empty()) {
            FcLangSet* langs = FcLangSetCreate();
            FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>(language.c_str()));
            FcPatternAddLangSet(eastAsia, FC_LANG, langs);
            FcLangSetDestroy(langs);
        }
        matchFace(slot->eastAsia, eastAsia, request);
        return *slot;
    }

    // Matches `pattern` (which `face` takes over) for the request's weight and slant.
    void matchFace(Face& face, FcPattern* pattern, const FontRequest& request) {
        FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(m_config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        face.pattern = pattern;
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(m_config, pattern, &result);
        if (!match) return;
        face.font = load(match);
        int weight = FC_WEIGHT_REGULAR;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        face.embolden = request.bold && weight < FC_WEIGHT_DEMIBOLD;
        FcPatternDestroy(match);
    }

    // The font for character `c` in `face`: its own when it has the character, else the first
    // of fontconfig's sorted list that has it, or none. Called with m_fontMutex held.
    const Font* fontFor(Face& face, char32_t c) {
        if (face.font && face.font->charset && FcCharSetHasChar(face.font->charset, c))
            return face.font;
        const auto known = face.fallback.find(c);
        if (known != face.fallback.end()) return known->second;
        if (!face.sorted && face.pattern) {
            FcResult result = FcResultNoMatch;
            face.sorted = FcFontSort(m_config, face.pattern, FcTrue, nullptr, &result);
        }
        const Font* found = nullptr;
        if (face.sorted)
            for (int i = 0; i < face.sorted->nfont && !found; ++i) {
                FcPattern* candidate = face.sorted->fonts[i];
                FcCharSet* charset = nullptr;
                if (FcPatternGetCharSet(candidate, FC_CHARSET, 0, &charset) == FcResultMatch &&
                    FcCharSetHasChar(charset, c))
                    found = load(candidate);
            }
        face.fallback.emplace(c, found);
        return found;
    }

    // The font of a matched pattern, loaded once per file and face index; null when the file
    // cannot be read as a font. Called with m_fontMutex held.
    const Font* load(FcPattern* match) {
        const std::string file = fcString(match, FC_FILE);
        if (file.empty()) return nullptr;
        int index = 0;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        auto& slot = m_fonts[{file, index}];
        if (slot) return slot.get();
        hb_blob_t* blob = hb_blob_create_from_file_or_fail(file.c_str());
        if (!blob) return nullptr;
        hb_face_t* hbFace = hb_face_create(blob, static_cast<unsigned>(index & 0xFFFF));
        hb_blob_destroy(blob);
        const unsigned upem = hb_face_get_upem(hbFace);
        if (hb_face_get_glyph_count(hbFace) == 0 || upem == 0) {
            hb_face_destroy(hbFace);
            return nullptr;
        }
        auto font = std::make_unique<Font>();
        font->hb = hb_font_create(hbFace);
        hb_face_destroy(hbFace);
        font->unitsPerEm = upem;
        hb_font_set_scale(font->hb, static_cast<int>(upem), static_cast<int>(upem));
        hb_font_make_immutable(font->hb);
        FcCharSet* charset = nullptr;
        if (FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) == FcResultMatch)
            font->charset = FcCharSetCopy(charset);
        // Word sets a single line from the Windows ascent and descent and the line gap.
        font->perEm = {hbPosition(font->hb, HB_OT_METRICS_TAG_HORIZONTAL_CLIPPING_ASCENT,
                                  HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER) /
                           upem,
                       hbPosition(font->hb, HB_OT_METRICS_TAG_HORIZONTAL_CLIPPING_DESCENT,
                                  HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER) /
                           upem,
                       hbPosition(font->hb, HB_OT_METRICS_TAG_HORIZONTAL_LINE_GAP,
                                  HB_OT_METRICS_TAG_HORIZONTAL_LINE_GAP) /
                           upem};
        slot = std::move(font);
        return slot.get();
    }

    FcConfig* m_config;  // null: fontconfig's current configuration; else owned

    std::mutex m_fontMutex;  // over fontconfig, the loaded fonts and the resolved requests
    std::map<std::pair<std::string, int>, std::unique_ptr<Font>> m_fonts;
    std::unordered_map<FontRequest, std::unique_ptr<ResolvedRequest>> m_resolved;

    std::shared_mutex m_widthMutex;  // over the widths
    std::unordered_map<FontRequest, std::unordered_map<std::u16string, double>> m_widths;
    std::size_t m_widthCount = 0;
};

}  // namespace

TextMeasure& systemTextMeasure() {
    // A configuration of its own, freed with the measure, rather than fontconfig's global one.
    static SystemTextMeasure measure(FcInitLoadConfigAndFonts());
    return measure;
}

std::unique_ptr<TextMeasure> newTextMeasure(const std::filesystem::path& fontconfigFile) {
    FcConfig* config = FcConfigCreate();
    if (!FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(fontconfigFile.c_str()),
                              FcTrue)) {
        FcConfigDestroy(config);
        throw std::runtime_error("cannot read the fontconfig file " + fontconfigFile.string());
    }
    FcConfigBuildFonts(config);
    return std::make_unique<SystemTextMeasure>(config);
}

}  // namespace quillet::engine::fonts
