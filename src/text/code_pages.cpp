#include "text/code_pages.h"

#include "platform/utf.h"
#include "text/text_context.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <utility>

namespace quillet {

namespace {

// Windows code pages of the language and character-set tables (and a few common others), with
// the iconv converter that stands for each. nullptr: no converter on this platform.
struct CodePageRow {
    int codePage;
    const char* iconvName;
};
// clang-format off
constexpr CodePageRow kCodePages[] = {
    {437, "CP437"},
    {708, "ASMO-708"},
    {720, nullptr},  // DOS Arabic: glibc has no converter
    {850, "CP850"},
    {852, "CP852"},
    {862, "CP862"},
    {866, "CP866"},
    {874, "CP874"},
    {932, "CP932"},
    {936, "CP936"},
    {949, "CP949"},
    {950, "CP950"},
    {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},
    {1250, "CP1250"},
    {1251, "CP1251"},
    {1252, "CP1252"},
    {1253, "CP1253"},
    {1254, "CP1254"},
    {1255, "CP1255"},
    {1256, "CP1256"},
    {1257, "CP1257"},
    {1258, "CP1258"},
    {10000, "MACINTOSH"},
    {20866, "KOI8-R"},
    {20932, "EUC-JP"},
    {21866, "KOI8-RU"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {38598, "ISO-8859-8"},  // logical order; the bytes are the same
    {50000, nullptr},       // x-user-defined
    {50001, nullptr},       // automatic detection
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},
    {50932, nullptr},       // automatic detection, Japanese
    {50949, nullptr},       // automatic detection, Korean
    {51932, "EUC-JP"},
    {52936, nullptr},       // HZ: glibc has no converter
    {54936, "GB18030"},
    {65000, "UTF-7"},
    {65001, "UTF-8"},
};
// clang-format on

// One open converter per code page and direction, per thread: iconv descriptors carry state and
// must not be shared between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) ::iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

enum class Direction { Decode, Encode };

Converter* converterFor(int codePage, Direction direction) {
    thread_local std::map<std::pair<int, Direction>, std::unique_ptr<Converter>> cache;
    auto& slot = cache[{codePage, direction}];
    if (!slot) {
        const char* name = iconvNameOfCodePage(codePage);
        if (name == nullptr) return nullptr;
        slot = direction == Direction::Decode ? std::make_unique<Converter>("UTF-16LE", name)
                                              : std::make_unique<Converter>(name, "UTF-16LE");
    }
    if (!slot->valid()) return nullptr;
    ::iconv(slot->get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return slot.get();
}

int resolve(int codePage) {
    return codePage == 0 ? SystemAnsiCodePage() : codePage;
}

// Runs iconv over the whole input, growing `out` as needed, then returns the converter to its
// initial state (writing the shift sequence a stateful encoding needs). `onInvalid` is called at
// a sequence that cannot be converted (cutShort: it is incomplete at the end); it advances the
// input past it and returns the bytes that stand for it.
template <typename OnInvalid>
void convert(iconv_t cd, const char* in, std::size_t inLeft, std::string& out,
             OnInvalid onInvalid) {
    auto* inPtr = const_cast<char*>(in);  // iconv's signature; the input is not written
    std::size_t used = out.size();
    const auto reserve = [&](std::size_t room) {
        if (out.size() - used < room) out.resize(std::max(out.size() * 2, used + room) + 64);
    };
    auto step = [&](bool flush) {
        reserve(16);
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t r = flush ? ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                    : ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        used = static_cast<std::size_t>(outPtr - out.data());
        return r != static_cast<std::size_t>(-1) ? 0 : err;
    };
    for (int err; (err = step(false)) != 0;) {
        if (err == E2BIG) continue;
        const std::string replacement = onInvalid(inPtr, inLeft, err == EINVAL);
        reserve(replacement.size());
        out.replace(used, replacement.size(), replacement);
        used += replacement.size();
    }
    while (step(true) == E2BIG) {
    }
    out.resize(used);
}

std::u16string fromUtf16le(const std::string& bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return text;
}

std::string toUtf16le(std::u16string_view text) {
    std::string bytes(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

}  // namespace

const char* iconvNameOfCodePage(int codePage) {
    for (const auto& row : kCodePages)
        if (row.codePage == codePage) return row.iconvName;
    return nullptr;
}

bool hasConverter(int codePage) {
    return converterFor(resolve(codePage), Direction::Decode) != nullptr;
}

std::u16string DecodeCodePage(std::string_view Bytes, int CodePage) {
    const int codePage = resolve(CodePage);
    if (codePage == 65001) return fromUtf8(Bytes);
    Converter* converter = converterFor(codePage, Direction::Decode);
    if (converter == nullptr) return {};
    std::string out;
    out.reserve(Bytes.size() * 2 + 2);
    convert(converter->get(), Bytes.data(), Bytes.size(), out,
            [](char*& in, std::size_t& left, bool cutShort) {
                const std::size_t skip = cutShort ? left : 1;
                in += skip;
                left -= skip;
                return std::string("\xFD\xFF");  // U+FFFD, little-endian
            });
    return fromUtf16le(out);
}

namespace {

// The text as bytes, "?" for each character the code page cannot hold; `lost` tells whether
// there was one. Nothing when the code page has no converter.
std::optional<std::string> encode(std::u16string_view Text, int CodePage, bool& lost) {
    lost = false;
    const int codePage = resolve(CodePage);
    Converter* converter = converterFor(codePage, Direction::Encode);
    if (converter == nullptr) return std::nullopt;
    const std::string input = toUtf16le(Text);
    std::string out;
    out.reserve(Text.size() + 16);
    convert(converter->get(), input.data(), input.size(), out,
            [&](char*& in, std::size_t& left, bool cutShort) {
                lost = true;
                // Skip the character (a surrogate pair counts as one) and write "?" through the
                // same converter, so a stateful encoding shifts back as it must.
                std::size_t skip = 2;
                if (!cutShort && left >= 4) {
                    const unsigned first = static_cast<unsigned char>(in[1]);
                    const unsigned second = static_cast<unsigned char>(in[3]);
                    if (first >= 0xD8 && first <= 0xDB && second >= 0xDC && second <= 0xDF)
                        skip = 4;
                }
                skip = std::min(skip, left);
                in += skip;
                left -= skip;
                char question[2] = {'?', '\0'};
                char* qIn = question;
                std::size_t qLeft = 2;
                char buf[16];
                char* bufPtr = buf;
                std::size_t bufLeft = sizeof buf;
                if (::iconv(converter->get(), &qIn, &qLeft, &bufPtr, &bufLeft) ==
                    static_cast<std::size_t>(-1))
                    return std::string();
                return std::string(buf, static_cast<std::size_t>(bufPtr - buf));
            });
    return out;
}

}  // namespace

std::string EncodeCodePage(std::u16string_view Text, int CodePage) {
    bool lost = false;
    return encode(Text, CodePage, lost).value_or(std::string());
}

std::optional<std::string> EncodeCodePageExactly(std::u16string_view Text, int CodePage) {
    bool lost = false;
    std::optional<std::string> bytes = encode(Text, CodePage, lost);
    if (lost) return std::nullopt;
    return bytes;
}

}  // namespace quillet
