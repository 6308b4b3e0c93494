// Word's rules for ranges, paragraphs, styles and bookmarks, driven through the automation
// interface; each test ends with the model's invariant check.
#include "engine_fixture.h"

#include "automation/automation_error.h"

namespace quillet::testing {
namespace {

class Ranges : public EngineTest {
protected:
    // Fills the new document with these paragraphs (in Normal).
    void fill(std::u16string_view content) {
        doc.at(u"Content").put(u"Text", std::u16string(content));
    }
    Object range(int start, int end) const { return doc.at(u"Range", {start, end}); }
};

TEST_F(Ranges, ANewDocumentHoldsOneEmptyParagraph) {
    const Object content = doc.at(u"Content");
    EXPECT_EQ(content.get(u"Start").toInt(), 0);
    EXPECT_EQ(content.get(u"End").toInt(), 1);
    EXPECT_EQ(text(content), u"\r");
    EXPECT_EQ(doc.at(u"Paragraphs").get(u"Count").toInt(), 1);
    EXPECT_EQ(doc.at(u"Sections").get(u"Count").toInt(), 1);
    EXPECT_EQ(content.at(u"Style").get(u"NameLocal").toString(), u"Normal");
    expectConsistent();
}

TEST_F(Ranges, ContentIsAFreshRangeOverTheWholeStoryFinalMarkIncluded) {
    const Object first = doc.at(u"Content");
    first.call(u"InsertAfter", {u"abc"});
    EXPECT_EQ(text(first), u"abc\r");  // inserted before the final mark, range grown over it
    first.call(u"Collapse", {1});
    const Object second = doc.at(u"Content");
    EXPECT_EQ(second.get(u"End").toInt(), 4);
    EXPECT_EQ(first.get(u"End").toInt(), 0);
    expectConsistent();
}

TEST_F(Ranges, CollapsingToTheEndNeverPassesTheFinalMark) {
    fill(u"abc");
    struct Case {
        int start, end, direction, expected;
    };
    const Case cases[] = {
        {0, 4, 0, 3},  // over the final mark: just before it
        {0, 2, 0, 2},
        {1, 3, 1, 1},
        {3, 3, 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.start << "-" << c.end << " dir " << c.direction);
        const Object r = range(c.start, c.end);
        r.call(u"collapse", {c.direction});
        EXPECT_EQ(r.get(u"Start").toInt(), c.expected);
        EXPECT_EQ(r.get(u"End").toInt(), c.expected);
    }
}

TEST_F(Ranges, InsertionsExtendTheRangeOverWhatTheyInserted) {
    const Object r = doc.at(u"Content");
    r.call(u"Collapse", {0});
    r.call(u"InsertAfter", {u"Head"});
    EXPECT_EQ(text(r), u"Head");
    r.call(u"InsertParagraphAfter");
    EXPECT_EQ(text(r), u"Head\r");
    r.call(u"Collapse", {0});
    EXPECT_EQ(r.get(u"Start").toInt(), 5);
    r.call(u"InsertBefore", {u"x"});
    EXPECT_EQ(text(r), u"x");
    EXPECT_EQ(paragraphs(), "[Normal] Head\\r\n[Normal] x\\r\n");
    expectConsistent();
}

TEST_F(Ranges, StyleActsOnEveryParagraphTouchedAndFontOnCharacters) {
    fill(u"a\rb\rc");
    range(0, 0).at(u"ParagraphFormat").put(u"Alignment", 2);
    range(1, 3).put(u"Style", -2);  // from a's mark into b
    range(5, 5).put(u"Style", u"Heading 2");
    range(0, 1).at(u"Font").put(u"Size", 20);
    EXPECT_EQ(paragraphs(),
              "[Heading 1] a\\r\n[Heading 1] b\\r\n[Heading 2] c\\r\n");  // the style cleared the
                                                                          // alignment
    EXPECT_EQ(range(0, 1).at(u"Font").get(u"Size").toDouble(), 20);
    EXPECT_EQ(range(2, 3).at(u"Font").get(u"Size").toDouble(), 16);    // Heading 1's own size
    EXPECT_EQ(range(0, 3).at(u"Font").get(u"Size").toInt(), 9999999);  // differs: undefined
    EXPECT_EQ(range(2, 2).at(u"ParagraphFormat").get(u"OutlineLevel").toInt(), 1);
    EXPECT_EQ(range(0, 6).at(u"Paragraphs").get(u"Count").toInt(), 3);
    expectConsistent();
}

TEST_F(Ranges, ABookmarkMovesBeforeGrowsInsideAndStaysAtItsEnd) {
    struct Case {
        int at;
        int start, end;
    };
    const Case cases[] = {{0, 2, 5}, {1, 2, 5}, {2, 1, 5}, {4, 1, 4}, {5, 1, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        doc = word.at(u"Documents").at(u"Add");
        fill(u"abcde");
        doc.at(u"Bookmarks").call(u"Add", {u"B", range(1, 4)});
        doc.at(u"Bookmarks").call(u"Add", {u"Empty", range(2, 2)});
        range(c.at, c.at).call(u"InsertAfter", {u"X"});
        const Object b = doc.at(u"Bookmarks").at(u"Item", {u"b"});
        EXPECT_EQ(b.get(u"Start").toInt(), c.start);
        EXPECT_EQ(b.get(u"End").toInt(), c.end);
        // A collapsed bookmark moves with an insertion at its place.
        EXPECT_EQ(doc.at(u"Bookmarks").at(u"Item", {u"Empty"}).get(u"Start").toInt(),
                  c.at <= 2 ? 3 : 2);
        expectConsistent();
    }
}

TEST_F(Ranges, ASectionBreakIsOneCharacterThatEndsItsParagraph) {
    fill(u"cover");
    const Object r = doc.at(u"Content");
    r.call(u"Collapse", {0});
    r.call(u"InsertBreak", {2});
    EXPECT_EQ(doc.at(u"Content").get(u"End").toInt(), 7);
    EXPECT_EQ(doc.at(u"Sections").get(u"Count").toInt(), 2);
    EXPECT_EQ(paragraphs(), "[Normal] cover\\f\n[Normal] \\r\n");
    r.call(u"Collapse", {0});
    r.call(u"InsertAfter", {u"next"});
    const Object second = doc.at(u"Sections").at(u"Item", {2}).at(u"Range");
    EXPECT_EQ(text(second), u"next\r");
    expectConsistent();
}

TEST_F(Ranges, GoToFindsHeadingsAndStaysPutAfterTheLast) {
    fill(u"intro\rOne\rbody\rTwo\rend");
    range(6, 6).put(u"Style", -2);
    range(15, 15).put(u"Style", -3);
    Object h = doc.at(u"GoTo", {named(u"What", 11), named(u"Which", 1)});
    EXPECT_EQ(h.get(u"Start").toInt(), 6);
    EXPECT_EQ(h.call(u"Expand", {4}).toInt(), 4);
    EXPECT_EQ(text(h), u"One\r");
    h = h.at(u"GoTo", {named(u"What", 11), named(u"Which", 2)});
    EXPECT_EQ(h.get(u"Start").toInt(), 15);
    h = h.at(u"GoTo", {named(u"What", 11), named(u"Which", 2)});
    EXPECT_EQ(h.get(u"Start").toInt(), 15);
}

TEST_F(Ranges, RefusalsNameTheMember) {
    struct Case {
        std::function<void()> call;
        std::u16string_view message;
    };
    const Case cases[] = {
        {[&] { doc.at(u"Content").call(u"InsertBreak", {99}); },
         u"Range.InsertBreak: argument Type: Int 99 is out of range"},
        {[&] { doc.at(u"Styles").get(u"Item", {-11}); },
         u"Styles.Item: value Int -11 is out of range"},
        {[&] { doc.at(u"Content").at(u"Font").put(u"Size", 2000); },
         u"Font.Size: value Int 2000 is out of range"},
        {[&] { doc.at(u"PageSetup").put(u"PaperSize", 99); },
         u"PageSetup.PaperSize: value Int 99 is out of range"},
        {[&] { doc.at(u"Content").call(u"Shrink"); }, u"Range.Shrink: unknown member"},
        {[&] {
             doc.call(u"Close", {0});
             doc.get(u"Content");
         },
         u"Document.Content: the document is closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.message));
        try {
            c.call();
            ADD_FAILURE() << "no error";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.message(), c.message);
        }
    }
}

TEST_F(Ranges, CollectionsNumberTheirMembersFromOneAndRefuseOthers) {
    fill(u"one\rtwo");
    doc.at(u"Hyperlinks")
        .call(u"Add", {named(u"Anchor", range(0, 3)), named(u"Address", u"http://example.com/")});
    doc.at(u"Bookmarks").call(u"Add", {u"Mark", range(4, 7)});
    const Object headers = doc.at(u"Sections").at(u"Item", {1}).at(u"Headers");
    headers.at(u"Item", {1}).at(u"Shapes").call(u"AddLine", {0, 10, 100, 10});
    struct Case {
        std::u16string name;
        Object collection;
        int count;
    };
    const Case cases[] = {
        {u"Documents", word.at(u"Documents"), 1},
        {u"Hyperlinks", doc.at(u"Hyperlinks"), 1},
        {u"Bookmarks", doc.at(u"Bookmarks"), 1},
        {u"TablesOfContents", doc.at(u"TablesOfContents"), 0},
        {u"InlineShapes", doc.at(u"InlineShapes"), 0},
        {u"Shapes", headers.at(u"Item", {1}).at(u"Shapes"), 1},
        {u"Sections", doc.at(u"Sections"), 1},
        {u"HeadersFooters", headers, 3},
        {u"Paragraphs", doc.at(u"Paragraphs"), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.name));
        EXPECT_EQ(c.collection.get(u"Count").toInt(), c.count);
        if (c.count > 0) {
            EXPECT_NO_THROW(c.collection.get(u"Item", {c.count}));
        }
        for (int index : {0, c.count + 1}) {
            try {
                c.collection.get(u"Item", {index});
                ADD_FAILURE() << "no error for " << index;
            } catch (const AutomationError& e) {
                EXPECT_EQ(e.message(), c.name + u".Item: argument Index: Int " +
                                           fromUtf8(std::to_string(index)) + u" is out of range");
            }
        }
    }
    expectConsistent();
    doc.call(u"Close", {0});
    for (const auto& c : cases) {
        if (c.name == u"Documents") continue;  // the application's, not the document's
        SCOPED_TRACE(toUtf8(c.name));
        try {
            c.collection.get(u"Item", {1});
            ADD_FAILURE() << "no error";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.message(), c.name + u".Item: the document is closed");
        }
    }
}

TEST_F(Ranges, PasteBringsWhatCopyTookAcrossEngineInstances) {
    // The source lives in another application: the clipboard is the engine's, not a document's.
    const Object other = CreateObject(u"Word.Application");
    const Object source = other.at(u"Documents").at(u"Add");
    source.at(u"Content").put(u"Text", u"Title\rBold words here\r");
    source.at(u"Range", {0, 0}).put(u"Style", -2);
    source.at(u"Range", {6, 10}).at(u"Font").put(u"Bold", true);
    source.at(u"Bookmarks").call(u"Add", {u"Kept", source.at(u"Range", {6, 10})});
    source.at(u"Bookmarks").call(u"Add", {u"Taken", source.at(u"Range", {0, 5})});
    source.at(u"Hyperlinks")
        .call(u"Add", {named(u"Anchor", source.at(u"Range", {11, 16})),
                       named(u"Address", u"http://example.com/")});
    source.at(u"Content").call(u"Copy");
    other.call(u"Quit");

    fill(u"before");
    doc.at(u"Bookmarks").call(u"Add", {u"Taken", range(0, 6)});
    const Object r = doc.at(u"Content");
    r.call(u"Collapse", {0});
    r.call(u"InsertParagraphAfter");
    r.call(u"Collapse", {0});
    r.put(u"Style", -1);
    r.call(u"Paste");
    EXPECT_EQ(text(r), u"Title\rBold words here\r\r");  // the range covers what was pasted
    EXPECT_EQ(paragraphs(),
              "[Normal] before\\r\n[Heading 1] Title\\r\n[Normal] Bold words here\\r\n"
              "[Normal] \\r\n[Normal] \\r\n");
    EXPECT_TRUE(range(13, 17).at(u"Font").get(u"Bold").toBool());
    EXPECT_EQ(doc.at(u"Bookmarks").at(u"Item", {u"Kept"}).get(u"Start").toInt(), 13);
    EXPECT_EQ(doc.at(u"Bookmarks").at(u"Item", {u"Taken"}).get(u"Start").toInt(), 0);  // not moved
    EXPECT_EQ(doc.at(u"Hyperlinks").at(u"Item", {1}).get(u"TextToDisplay").toString(), u"words");
    expectConsistent();
}

}  // namespace
}  // namespace quillet::testing
