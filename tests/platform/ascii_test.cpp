#include "platform/ascii.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(Ascii, OnlyAsciiLettersChangeCase) {
    struct Case {
        std::u16string_view a, b;
        bool equal, aStartsWithB;
    };
    const Case cases[] = {
        {u"HREF", u"href", true, true}, {u"Mk:@MSITStore:x", u"mk:@msitstore:", false, true},
        {u"@[`{", u"@[`{", true, true},  // the neighbours of the letters stay apart
        {u"@", u"`", false, false},     {u"ÄÖ", u"äö", false, false},  // not ASCII: left alone
        {u"a", u"ab", false, false},    {u"", u"", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a.begin(), c.a.end()));
        EXPECT_EQ(equalsIgnoringAsciiCase(c.a, c.b), c.equal);
        EXPECT_EQ(startsWithIgnoringAsciiCase(c.a, c.b), c.aStartsWithB);
        std::string narrowA, narrowB;
        for (char16_t ch : c.a) narrowA += static_cast<char>(ch < 0x80 ? ch : '?');
        for (char16_t ch : c.b) narrowB += static_cast<char>(ch < 0x80 ? ch : '!');
        if (narrowA.find('?') == std::string::npos && narrowB.find('!') == std::string::npos) {
            EXPECT_EQ(equalsIgnoringAsciiCase(narrowA, narrowB), c.equal);
            EXPECT_EQ(startsWithIgnoringAsciiCase(narrowA, narrowB), c.aStartsWithB);
        }
    }
    EXPECT_EQ(lowerAscii(u"Straße HTML Ä"), u"straße html Ä");
    EXPECT_EQ(lowerAscii(std::string_view("Content-TYPE")), "content-type");
}

}  // namespace
}  // namespace quillet
