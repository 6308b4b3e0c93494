#include "job/font.h"

#include "platform/utf.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

constexpr std::int32_t kWindowText = -16777208;  // a system colour

TFont font(std::u16string name, int size, std::int32_t color, std::u16string_view styles) {
    TFont f{std::move(name), size, color, {}};
    f.Style.set(FontStyle::Bold, styles.find(u'B') != std::u16string_view::npos);
    f.Style.set(FontStyle::Italic, styles.find(u'I') != std::u16string_view::npos);
    f.Style.set(FontStyle::Underline, styles.find(u'U') != std::u16string_view::npos);
    f.Style.set(FontStyle::StrikeOut, styles.find(u'S') != std::u16string_view::npos);
    return f;
}

TEST(StringToFont, AppliesSpecifications) {
    struct Case {
        std::u16string spec;
        TFont expected;
    };
    const TFont before = font(u"Old", 9, 1, u"BIUS");
    const Case cases[] = {
        {u"Calibri,27,0,[BU]", font(u"Calibri", 27, 0, u"BU")},
        {u"Arial,10,255,[S]", font(u"Arial", 10, 255, u"S")},
        {u"Arial,10,255,[bu]", font(u"Arial", 10, 255, u"")},  // lower case does not count
        {u"Arial,10,255,BI", font(u"Arial", 10, 255, u"BI")},  // brackets play no part
        {u"Arial,10,255,[]", font(u"Arial", 10, 255, u"")},
        {u"Arial, 10,-16777208,[I]", font(u"Arial", 10, kWindowText, u"I")},
        {u"Arial,10,255,[B],", font(u"Arial", 10, 255, u"B")},  // a final break adds no line
        {u"Arial,10,255", before},                              // three parts
        {u"My,Font,10,0,[]", before},                           // five parts
        {u"", before},
        {u"A,1,2,[B],,", before},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.spec));
        TFont f = before;
        StringToFont(c.spec, f);
        EXPECT_EQ(f, c.expected) << toUtf8(FontToString(f));
    }
}

TEST(StringToFont, ABadNumberFailsAfterTheEarlierPartsWereApplied) {
    TFont f = font(u"Old", 9, 1, u"");
    EXPECT_THROW(StringToFont(u"New,big,0,[B]", f), NumberConversionError);
    EXPECT_EQ(f.Name, u"New");
    EXPECT_EQ(f.Size, 9);
    EXPECT_THROW(StringToFont(u"Newer,12,red,[B]", f), NumberConversionError);
    EXPECT_EQ(f.Name, u"Newer");
    EXPECT_EQ(f.Size, 12);
    EXPECT_THROW(StringToFont(u"X,99999999999,0,[]", f), NumberConversionError);  // overflow
    EXPECT_THROW(StringToFont(u"X,12 ,0,[]", f), NumberConversionError);
}

TEST(FontToString, WritesStylesInOrderAndReadsBack) {
    EXPECT_EQ(FontToString(font(u"Calibri", 27, 0, u"SUIB")), u"Calibri,27,0,[BIUS]");
    EXPECT_EQ(FontToString(font(u"Calibri", 11, 0, u"")), u"Calibri,11,0,[]");
    const TFont system = font(u"宋体", 9, kWindowText, u"U");
    EXPECT_EQ(FontToString(system), u"宋体,9,-16777208,[U]");
    TFont back;
    StringToFont(FontToString(system), back);
    EXPECT_EQ(back, system);
}

}  // namespace
}  // namespace quillet
