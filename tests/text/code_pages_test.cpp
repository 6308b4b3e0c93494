#include "text/code_pages.h"

#include "platform/utf.h"
#include "text/charset_table.h"
#include "text/text_context.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace quillet {
namespace {

// Text in the script each code page exists for; it must survive a round trip unchanged.
const std::map<int, std::u16string> kNativeSamples = {
    {852, u"Příliš žluťoučký"},
    {866, u"Привет"},
    {874, u"ภาษาไทย"},
    {932, u"日本語のテキスト"},
    {936, u"中文简体"},
    {949, u"한국어"},
    {950, u"中文繁體"},
    {1250, u"Příliš žluťoučký"},
    {1251, u"Привет, мир"},
    {1252, u"Café déjà vu"},
    {1253, u"Ωμέγα"},
    {1254, u"İstanbul ğüşç"},
    {1255, u"שלום"},
    {1256, u"مرحبا"},
    {1257, u"Ąžuolas"},
    {1258, u"Việt"},
    {20866, u"Привет"},
    {20932, u"日本語"},
    {21866, u"Привіт"},
    {28591, u"Café"},
    {28592, u"Łódź"},
    {28595, u"Привет"},
    {28597, u"Ωμέγα"},
    {28598, u"שלום"},
    {50220, u"日本語abc日本"},
    {50225, u"한국어"},
    {51932, u"日本語"},
    {65000, u"Unicode 中文 +-"},
    {65001, u"Unicode 中文 😀"},
};

TEST(CodePages, EveryConvertibleCharsetCodePageRoundTrips) {
    const std::u16string mixed = u"Hello, <b>world</b> 123 é Ж Ω 中 日本 한 א ع ก ñ";
    std::vector<int> withoutConverter;
    for (int codePage : CharsetTable().codePages()) {
        SCOPED_TRACE(codePage);
        if (!hasConverter(codePage)) {
            withoutConverter.push_back(codePage);
            EXPECT_EQ(DecodeCodePage("abc", codePage), u"");
            continue;
        }
        // Whatever the code page cannot hold becomes "?", one for one; the rest survives.
        const std::string bytes = EncodeCodePage(mixed, codePage);
        const std::u16string back = DecodeCodePage(bytes, codePage);
        ASSERT_EQ(back.size(), mixed.size()) << toUtf8(back);
        for (std::size_t i = 0; i < mixed.size(); ++i)
            EXPECT_TRUE(back[i] == mixed[i] || back[i] == u'?') << i << ": " << toUtf8(back);
        EXPECT_EQ(back.substr(0, 24), mixed.substr(0, 24));  // the ASCII part
        EXPECT_EQ(EncodeCodePage(back, codePage), bytes);
        if (const auto sample = kNativeSamples.find(codePage); sample != kNativeSamples.end()) {
            EXPECT_EQ(DecodeCodePage(EncodeCodePage(sample->second, codePage), codePage),
                      sample->second);
        }
    }
    EXPECT_EQ(withoutConverter, (std::vector<int>{720, 50000, 50001, 50932, 50949, 52936}));
}

TEST(CodePages, MultiByteCodePagesHoldTheWholeText) {
    std::u16string longText;
    for (int i = 0; i < 5000; ++i) longText += u"中文テキスト";
    for (int codePage : {65001, 54936, 50220, 65000, 932}) {
        SCOPED_TRACE(codePage);
        const std::string bytes = EncodeCodePage(longText, codePage);
        EXPECT_GE(bytes.size(), longText.size());
        EXPECT_EQ(DecodeCodePage(bytes, codePage), longText);
    }
    // A stateful encoding ends back in ASCII.
    EXPECT_TRUE(EncodeCodePage(u"a日本", 50220).ends_with("\x1b(B"));
}

TEST(CodePages, UnconvertibleInputIsReplacedNotDropped) {
    EXPECT_EQ(EncodeCodePage(u"a中b", 1252), "a?b");
    EXPECT_EQ(EncodeCodePage(u"a😀b", 1252), "a?b");  // a surrogate pair is one character
    EXPECT_EQ(EncodeCodePage(u"a\xd800"
                             u"b",
                             1252),
              "a?b");  // a lone surrogate
    EXPECT_EQ(EncodeCodePage(u"x日本y", 50220).front(), 'x');
    EXPECT_EQ(DecodeCodePage("a\x81", 932), u"a\ufffd");  // lead byte cut short at the end
    EXPECT_EQ(DecodeCodePage("a\xff"
                             "b",
                             936),
              u"a\ufffd"
              "b");  // byte that means nothing
    EXPECT_EQ(DecodeCodePage("", 936), u"");
    EXPECT_EQ(EncodeCodePage(u"abc", 12345), "");  // no such code page
    EXPECT_EQ(DecodeCodePage("abc", 12345), u"");
}

TEST(CodePages, CodePageZeroIsTheJobsAnsiCodePage) {
    {
        ScopedTextContext job({936, nullptr, u""});
        EXPECT_EQ(SystemAnsiCodePage(), 936);
        EXPECT_EQ(DecodeCodePage("\xd6\xd0", 0), u"中");
        EXPECT_EQ(EncodeCodePage(u"中", 0), "\xd6\xd0");
        std::u16string onOtherThread;
        std::thread([&] { onOtherThread = DecodeCodePage("\xd6\xd0", 0); }).join();
        EXPECT_NE(onOtherThread, u"中") << "another thread's job keeps its own code page";
    }
    EXPECT_EQ(SystemAnsiCodePage(), PlatformAnsiCodePage());
}

TEST(CodePages, LocaleCharsetsMapToLegacyCodePages) {
    const std::pair<std::string_view, int> cases[] = {
        {"GBK", 936},
        {"gb2312", 936},
        {"BIG5", 950},
        {"Shift_JIS", 932},
        {"EUC-KR", 949},
        {"KOI8-R", 20866},
        {"ISO-8859-5", 28595},
        {"iso88591", 0},
        {"ISO8859-2", 28592},
        {"CP1251", 1251},
        {"windows-1250", 1250},
        {"UTF-8", 0},
        {"", 0},
        {"CP1259", 0},
    };
    for (const auto& [charset, codePage] : cases) {
        SCOPED_TRACE(std::string(charset));
        EXPECT_EQ(codePageOfLocaleCharset(charset), codePage);
    }
}

}  // namespace
}  // namespace quillet
