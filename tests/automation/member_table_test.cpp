#include "automation/member_table.h"

#include "automation/class_registry.h"
#include "platform/utf.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

// A small server: a counter with a property, a read-only property and a method with optional
// and named parameters; it records each method call.
class Counter : public TableDispatch<Counter> {
public:
    static const MemberTable<Counter>& members() {
        static const MemberTable<Counter> table(
            u"Counter",
            {
                {u"Value",
                 {},
                 [](Counter& c, const CallArgs&) { return Variant(c.value); },
                 [](Counter& c, const CallArgs& a) {
                     const int v = a.value().toInt();
                     if (v < 0) valueOutOfRange(a.value());
                     c.value = v;
                 }},
                {u"Name", {}, [](Counter&, const CallArgs&) { return Variant(u"counter"); }, {}},
                {u"Add",
                 {u"Amount", u"Times", u"Label"},
                 [](Counter& c, const CallArgs& a) {
                     const int times = a.integer(1, 1);
                     if (times < 1) a.outOfRange(1);
                     c.value += a.integer(0) * times;
                     c.labels.push_back(a.text(2, u"-"));
                     return Variant(c.value);
                 }},
            });
        return table;
    }
    int value = 0;
    std::vector<std::u16string> labels;
};

std::u16string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e.message();
    }
    return u"(no error)";
}

TEST(MemberTable, ReachesMembersByNameInAnyLetterCase) {
    auto counter = std::make_shared<Counter>();
    const Object o(counter);
    o.put(u"VALUE", 5);
    EXPECT_EQ(o.get(u"value").toInt(), 5);
    EXPECT_EQ(o.call(u"add", {2, named(u"LABEL", u"two"), named(u"times", 3)}).toInt(), 11);
    EXPECT_EQ(o.get(u"Add", {1}).toInt(), 12);  // a read without parentheses calls too
    EXPECT_EQ(counter->labels, (std::vector<std::u16string>{u"two", u"-"}));
    // An empty value stands for an argument left out.
    EXPECT_EQ(o.call(u"Add", {1, Variant()}).toInt(), 13);
}

TEST(MemberTable, RefusalsNameTheMember) {
    const Object o(std::make_shared<Counter>());
    struct Case {
        std::function<void()> call;
        std::u16string_view message;
    };
    const Case cases[] = {
        {[&] { o.get(u"Colour"); }, u"Counter.Colour: unknown member"},
        {[&] { o.put(u"Name", u"x"); }, u"Counter.Name: cannot be set"},
        {[&] { o.put(u"Value", -1); }, u"Counter.Value: value Int -1 is out of range"},
        {[&] { o.call(u"Add"); }, u"Counter.Add: argument Amount is missing"},
        {[&] {
             o.call(u"Add", {1, 2, u"a", 4});
         },
         u"Counter.Add: too many arguments (4, at most 3)"},
        {[&] {
             o.call(u"Add", {1, named(u"Step", 2)});
         },
         u"Counter.Add: unknown named argument Step"},
        {[&] {
             o.call(u"Add", {1, named(u"Amount", 2)});
         },
         u"Counter.Add: argument Amount is given twice"},
        {[&] {
             o.call(u"Add", {1, 0});
         },
         u"Counter.Add: argument Times: Int 0 is out of range"},
        {[&] { o.call(u"Add", {u"many"}); },
         u"Counter.Add: argument Amount: type mismatch: String \"many\" is not an integer"},
        {[&] {
             o.call(u"Add", {named(u"Times", 1), 2});
         },
         u"Add: a positional argument follows a named one"},
        {[&] { Object().get(u"Value"); }, u"Value: called through an empty object reference"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.message));
        EXPECT_EQ(messageOf(c.call), c.message);
    }
}

TEST(ClassRegistry, CreatesRegisteredClassesByIdentifierInAnyLetterCase) {
    EXPECT_FALSE(IsClassRegistered(u"Test.Counter"));
    EXPECT_EQ(messageOf([] { CreateObject(u"Test.Counter"); }),
              u"CreateObject(Test.Counter): class not registered");
    int created = 0;
    registerClass(u"Test.Counter", [&] {
        ++created;
        return Object(std::make_shared<Counter>());
    });
    EXPECT_TRUE(IsClassRegistered(u"test.counter"));
    EXPECT_EQ(created, 0);  // looking up creates nothing
    const Object a = CreateObject(u"TEST.COUNTER");
    const Object b = CreateObject(u"Test.Counter");
    EXPECT_EQ(created, 2);
    EXPECT_NE(a, b);
    unregisterClass(u"Test.Counter");
    EXPECT_FALSE(IsClassRegistered(u"Test.Counter"));
}

TEST(ClassRegistry, WordIsInstalledWhenItsClassIsRegistered) {
    unregisterClass(u"Word.Application");
    EXPECT_FALSE(IsWordInstalled());
    registerClass(u"word.application", [] { return Object(std::make_shared<Counter>()); });
    EXPECT_TRUE(IsWordInstalled());
    unregisterClass(u"Word.Application");
}

}  // namespace
}  // namespace quillet
