#include "automation/variant.h"

#include "automation/automation_error.h"
#include "automation/object.h"
#include "platform/utf.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(Variant, ConvertsAsAutomationDoes) {
    struct Case {
        Variant in;
        bool b;
        int i;
        double d;
        std::u16string_view s;
    };
    const Case cases[] = {
        {Variant(), false, 0, 0.0, u""},
        {Variant(true), true, -1, -1.0, u"True"},
        {Variant(false), false, 0, 0.0, u"False"},
        {Variant(12), true, 12, 12.0, u"12"},
        {Variant(2.5), true, 2, 2.5, u"2.5"},  // half to even
        {Variant(3.5), true, 4, 3.5, u"3.5"},
        {Variant(-0.4), true, 0, -0.4, u"-0.4"},
        {Variant(u" 42 "), true, 42, 42.0, u" 42 "},
        {Variant(u"16.0"), true, 16, 16.0, u"16.0"},
        {Variant(u"true"), true, -1, -1.0, u"true"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.in.describe()));
        EXPECT_EQ(c.in.toBool(), c.b);
        EXPECT_EQ(c.in.toString(), c.s);
        if (c.in.type() != Variant::Type::String || c.s != u"true") {
            EXPECT_EQ(c.in.toInt(), c.i);
            EXPECT_DOUBLE_EQ(c.in.toDouble(), c.d);
        }
    }
}

TEST(Variant, RefusesWhatDoesNotConvert) {
    EXPECT_THROW(Variant(u"Doc").toInt(), AutomationError);
    EXPECT_THROW(Variant(u"").toDouble(), AutomationError);
    EXPECT_THROW(Variant(3e10).toInt(), AutomationError);
    EXPECT_THROW(Variant(7).toObject(), AutomationError);
    EXPECT_THROW(Variant::nothing().toString(), AutomationError);
    try {
        Variant(u"x").toBool();
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.message(), u"type mismatch: String \"x\" is not a Boolean");
    }
}

TEST(Variant, NullReferenceIsDistinctFromEmptyAndFromObjects) {
    EXPECT_TRUE(Variant(Object()).isNothing());
    EXPECT_TRUE(Variant::nothing().toObject().isNothing());
    EXPECT_NE(Variant::nothing(), Variant());
    EXPECT_EQ(Variant(u"a"), Variant(std::u16string(u"a")));
    EXPECT_NE(Variant(1), Variant(1.0));
}

}  // namespace
}  // namespace quillet
