#include "text/entities.h"

#include "platform/utf.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(EntityTable, HasTheRowsOfHtml401WithItsOwnDifferences) {
    const EntityList& table = EntityTable();
    EXPECT_EQ(table.size(), 261u);
    struct Case {
        std::u16string_view name;
        int code;
    };
    const Case cases[] = {
        // standard rows, from each part of HTML 4.01 and the ends of the list
        {u"Aacute", 193},
        {u"zwnj", 8204},
        {u"quot", 34},
        {u"yuml", 255},
        {u"Yuml", 376},
        {u"thetasym", 977},
        {u"image", 8465},
        {u"weierp", 8472},
        {u"sup1", 185},
        {u"sup", 8835},
        {u"frac34", 190},
        {u"there4", 8756},
        {u"Omega", 937},
        {u"omega", 969},
        // codes that differ from the standard
        {u"and", 8869},
        {u"asymp", 8773},
        {u"nbsp", 32},
        {u"or", 8870},
        {u"sum", 8722},
        // rows added to the standard
        {u"AMP", 38},
        {u"COPY", 169},
        {u"GT", 62},
        {u"LT", 60},
        {u"NBSP", 32},
        {u"QUOT", 34},
        {u"REG", 174},
        {u"brkbar", 166},
        {u"die", 168},
        {u"hibar", 175},
        {u"um", 168},
        // standard names left out, other letter cases, near misses
        {u"euro", -1},
        {u"uml", -1},
        {u"Lt", -1},
        {u"lT", -1},
        {u"Amp", -1},
        {u"Sup1", -1},
        {u"ltx", -1},
        {u"l", -1},
        {u"", -1},
        {u"thetasymx", -1},
        {u"lt;", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.name));
        EXPECT_EQ(table.lookup(c.name), c.code);
    }
}

TEST(DecodeEntities, Cases) {
    struct Case {
        std::u16string_view in, out;
    };
    const Case cases[] = {
        {u"", u""},
        {u"plain text", u"plain text"},
        // named references
        {u"&lt;b&gt;", u"<b>"},
        {u"&amp;lt;", u"&lt;"},  // one round only
        {u"&LT;", u"<"},
        {u"&Lt;", u"&Lt;"},
        {u"a&nbsp;b&NBSP;c", u"a b c"},
        {u"&and;", u"\u22A5"},
        {u"&euro;", u"&euro;"},
        {u"&uml;", u"\u00A8l;"},  // through "um"; the ";" no longer follows the name
        {u"&sup2;&notin;&sup;", u"\u00B2\u2209\u2283"},
        {u"&sup1x &notit", u"\u00B9x \u00ACit"},  // the longest name that fits
        {u"&thetasymx", u"\u03D1x"},
        {u"&ltb", u"<b"},  // no ";" needed
        {u"&lt;;", u"<;"},
        {u"&lt&gt", u"<>"},
        {u"R&D, AT&T", u"R&D, AT&T"},
        {u"&", u"&"},
        {u"&;", u"&;"},
        {u"&&amp;", u"&&"},
        {u"&\u00E9t\u00E9", u"&\u00E9t\u00E9"},
        // numeric references
        {u"&#65;", u"A"},
        {u"&#65 b", u"A b"},
        {u"&#65x", u"Ax"},
        {u"&#65", u"A"},
        {u"&#65;;", u"A;"},
        {u"&#0000000000065;", u"A"},
        {u"&#8364;", u"\u20AC"},
        {u"&#65601;", u"A"},  // modulo 65536
        {u"&#2147483647;", u"\uFFFF"},
        {u"&#2147483648;", u"\uFFFD"},  // past 32 bits: out of range, and the text goes on
        {u"&#4294967296;x", u"\uFFFDx"},
        {u"&#99999999999999999999999;", u"\uFFFD"},
        {u"&#x41;", u"&#x41;"},
        {u"&#", u"&#"},
        {u"x&#;", u"x&#;"},
        {u"&#&lt;", u"&#<"},
        {u"&#65&lt;", u"&#65<"},
        {u"&#65&#66;", u"&#65B"},
        {u"&#99999999999&lt;", u"&#99999999999<"},  // undecoded digits are never converted
        {u"&#\u0661;", u"&#\u0661;"},               // only ASCII digits count
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.in));
        EXPECT_EQ(DecodeEntities(c.in), c.out);
    }
}

TEST(DecodeEntities, DigitsBeyond32BitsAreOutOfRangeAndTheTextGoesOn) {
    // Such a reference once ended the whole conversion with a number error.
    EXPECT_EQ(DecodeEntities(u"x &#99999999999999999999999999"), u"x \uFFFD");
    EXPECT_EQ(DecodeEntities(u"a&#99999999999;b"), u"a\uFFFDb");
}

}  // namespace
}  // namespace quillet
