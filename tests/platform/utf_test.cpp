#include "platform/utf.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(Utf, RoundTripsBmpAndSupplementaryCharacters) {
    const std::u16string text = u"A\u00e9\u4e2d\U0001F600z";
    EXPECT_EQ(toUtf8(text), "A\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80z");
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    struct Case {
        std::string in;
        std::u16string out;
    };
    const Case cases[] = {
        {"a\xff"
         "b",
         u"a\ufffdb"},                                      // byte that never starts a sequence
        {"a\xe4\xb8", u"a\ufffd"},                          // truncated at the end
        {"\xc0\xaf", u"\ufffd\ufffd"},                      // overlong form of '/'
        {"\xed\xa0\x80", u"\ufffd\ufffd\ufffd"},            // encoded surrogate
        {"\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},  // above U+10FFFF
        {"\xe4\xb8x", u"\ufffdx"},                          // cut short before ASCII
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(fromUtf8(c.in), c.out);
    }
    EXPECT_EQ(toUtf8(std::u16string(1, u'\xd800')), "\xef\xbf\xbd");  // lone surrogate
}

}  // namespace
}  // namespace quillet
