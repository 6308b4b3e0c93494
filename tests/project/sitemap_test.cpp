#include "project/sitemap.h"

#include "platform/utf.h"
#include "text/numbers.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

std::u16string object(std::u16string_view params) {
    return u"<OBJECT type=\"text/sitemap\">" + std::u16string(params) + u"</OBJECT>\n";
}
std::u16string item(std::u16string_view name, std::u16string_view local = {}) {
    std::u16string params = u"<param name=\"Name\" value=\"" + std::u16string(name) + u"\">";
    if (!local.empty())
        params += u"<param name=\"Local\" value=\"" + std::u16string(local) + u"\">";
    return u"<LI> " + object(params);
}

// One line per entry: level, status, topic, url, index number, context number.
std::string describe(const TTitleLists& list) {
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TTitleList& e = list[i];
        out += std::to_string(e.Level) + " " + std::to_string(e.Status) + " " + toUtf8(e.Topic) +
               " <" + toUtf8(e.Url) + "> #" + std::to_string(e.Index) + " " +
               toUtf8(e.ContextNumber) + "\n";
    }
    return out;
}

TEST(Contents, NestingNamesAndPages) {
    struct Case {
        const char* what;
        std::u16string hhc;
        std::string entries;
    };
    const Case cases[] = {
        {"outer and nested lists",
         u"<UL>" + item(u"One", u"a.htm") + u"<UL>" + item(u"Child", u"sub/b.htm#x") + u"</UL>" +
             item(u"Two", u"c%20d.htm") + u"</UL>",
         "0 0 One <a.htm> #0 1000\n1 0 Child <sub/b.htm#x> #1 1001\n0 0 Two <c d.htm> #2 1002\n"},
        {"separators, headings and entities",
         u"<ul>" + item(u"---") + item(u"Heading") + item(u"R&amp;D &lt;1&gt;", u"r.htm") +
             u"</ul>",
         "0 2 Heading <> #0 1000\n0 0 R&D <1> <r.htm> #1 1001\n"},
        {"first name and first local win",
         u"<UL><li>" +
             object(u"<param name=\"Name\" value=\"A\"><param name=\"Local\" value=\"a.htm\">"
                    u"<param name=\"Name\" value=\"B\"><param name=\"Local\" value=\"b.htm\">") +
             u"</UL>",
         "0 0 A <a.htm> #0 1000\n"},
        {"spellings in any case",
         u"<UL><LI>" +
             object(
                 u"<PARAM NAME=\"name\" VALUE=\"Upper\"><Param Name=\"LOCAL\" Value=\"u.htm\">") +
             u"</UL>",
         "0 0 Upper <u.htm> #0 1000\n"},
        {"an item with no list tag after it is lost",
         u"<UL>" + item(u"Kept", u"k.htm") + item(u"Lost", u"l.htm"), "0 0 Kept <k.htm> #0 1000\n"},
        {"a UL with attributes does not open a level",
         u"<UL>" + item(u"A", u"a.htm") + u"<UL class=\"x\">" + item(u"B", u"b.htm") + u"</UL>" +
             item(u"C", u"c.htm") + u"</UL>",
         "0 0 A <a.htm> #0 1000\n0 0 B <b.htm> #1 1001\n-1 0 C <c.htm> #2 1002\n"},
        {"an LI with attributes joins the item before",
         u"<UL>" + item(u"A", u"a.htm") + u"<LI class=x>" +
             object(u"<param name=\"Name\" value=\"B\"><param name=\"Local\" value=\"b.htm\">") +
             u"</UL>",
         "0 0 A <a.htm> #0 1000\n"},
        {"an entry before any list",
         item(u"Early", u"e.htm") + u"<UL>" + item(u"Late", u"l.htm") + u"</UL>",
         "-1 0 Early <e.htm> #0 1000\n0 0 Late <l.htm> #1 1001\n"},
        {"a TAB between LI and OBJECT, self-closed params",
         u"<UL><LI>\t" +
             object(u"<param name=\"Name\" value=\"T\"/><param name=\"Local\" value=\"t.htm\"/>") +
             u"</UL>",
         "0 0 T <t.htm> #0 1000\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TTitleLists list;
        parseContents(c.hhc, list);
        EXPECT_EQ(describe(list), c.entries);
    }
}

TEST(Contents, ImageNumbersAreNumbersAndMalformedOnesAreIgnored) {
    struct Case {
        std::u16string_view value;
        int icon;
    };
    const Case cases[] = {{u"11", 11}, {u"11a", 0}, {u"x", 0}, {u"99999999999", 0}, {u"", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.value));
        TTitleLists list;
        parseContents(u"<UL><LI>" +
                          object(u"<param name=\"Name\" value=\"N\"><param name=\"Local\" "
                                 u"value=\"a.htm\"><param name=\"ImageNumber\" value=\"" +
                                 std::u16string(c.value) + u"\">") +
                          u"<LI>" + object(u"<param name=\"Name\" value=\"Next\">") + u"</UL>",
                      list);
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[0].Icon, c.icon);
        EXPECT_EQ(list[0].Url, u"a.htm");
    }
}

TEST(Index, KeywordPathsGoToTheEntriesOfTheirPages) {
    TTitleLists list;
    parseContents(u"<UL>" + item(u"A", u"a.htm") + item(u"B", u"b.htm") +
                      item(u"A again", u"A.HTM") + u"</UL>",
                  list);
    const std::u16string hhk = u"<UL>" + item(u"Files") + u"<UL>" + item(u"Open/Save", u"a.htm") +
                               u"</UL>" + item(u"Printing", u"a.htm") + item(u"Both", u"b.htm") +
                               u"</UL>";
    parseIndex(hhk, list);
    EXPECT_EQ(list[0].Keywords, u"Files/Open//Save`\\Printing");
    EXPECT_EQ(list[1].Keywords, u"Both");
    EXPECT_EQ(list[2].Keywords, list[0].Keywords);  // the same page in other letter case
}

// Contents written in ASCII whose Latin-1 entities stand for bytes of the help file's code page.
TEST(Contents, EntitiesStandingForCodePageBytesAreReadInIt) {
    // "&Acirc;&acirc;&aring;&auml;&aring;&iacute;&egrave;&aring;" is cp1251 "Введение";
    // "&Dstrok;" stands for byte D0 ("Р"); a folder with a Cyrillic name in the address.
    const std::u16string hhc = u"<UL>" +
                               item(u"&Acirc;&acirc;&aring;&auml;&aring;&iacute;&egrave;&aring;",
                                    u"&Auml;&icirc;&ecirc;/a.htm") +
                               item(u"&Dstrok;&aring;&atilde;&aring;&ecirc;&ntilde;", u"b.htm") +
                               item(u"&eacute; &#1046;", u"c.htm") +
                               item(u"AutoIt&reg; v3", u"d.htm") + u"</UL>";
    TTitleLists list;
    const int codePage = entityBytesCodePage(hhc, 1251);
    ASSERT_EQ(codePage, 1251);
    parseContents(hhc, list, codePage);
    EXPECT_EQ(describe(list),
              "0 0 Введение <Док/a.htm> #0 1000\n"
              "0 0 Регекс <b.htm> #1 1001\n"
              "0 0 é Ж <c.htm> #2 1002\n"  // beside a real character, entities mean Latin-1
              "0 0 AutoIt® v3 <d.htm> #3 1003\n");  // and so does a lone sign

    const std::u16string hhk = u"<UL>" + item(u"&Ecirc;&euml;&thorn;&divide;", u"b.htm") + u"<LI>" +
                               item(u"x", u"&Auml;&icirc;&ecirc;/a.htm") + u"</UL>";
    parseIndex(hhk, list, entityBytesCodePage(hhk, 1251));
    EXPECT_EQ(list[1].Keywords, u"Ключ");
    EXPECT_EQ(list[0].Keywords, u"x");

    struct Case {
        const char* what;
        std::u16string text;
        int codePage;
        int expected;
    };
    const Case cases[] = {
        {"Western help file: entities mean Latin-1", u"&eacute;t&eacute;", 1252, 0},
        {"Unicode help file", u"&eacute;", 65001, 0},
        {"declared character set",
         u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">&eacute;",
         1251, 0},
        {"real text of the code page", u"Введение &amp;", 1251, 0},
        {"no entities at all", u"Intro", 1251, 0},
        {"only lone signs", u"AutoIt&reg; &copy; 2024", 936, 0},
        {"GBK help file", u"&Ouml;&ETH;", 936, 936},
    };
    for (const Case& c : cases)
        EXPECT_EQ(entityBytesCodePage(c.text, c.codePage), c.expected) << c.what;
}

TEST(TitleLists, UrlIndexFindsTheFirstEntryWithoutRegardToCase) {
    TTitleLists list;
    parseContents(u"<UL>" + item(u"First", u"Dir/Page.htm") + item(u"Second", u"dir/page.htm") +
                      item(u"Heading") + u"</UL>",
                  list);
    list.initializeUrls();
    ASSERT_NE(list.GetItemByUrl(u"DIR/PAGE.HTM"), nullptr);
    EXPECT_EQ(list.GetItemByUrl(u"DIR/PAGE.HTM")->Topic, u"First");
    EXPECT_EQ(list.GetItemByUrl(u"")->Topic, u"Heading");
    EXPECT_EQ(list.GetItemByUrl(u"other.htm"), nullptr);
    list[0].Url = u"moved.htm";  // not seen until the index is rebuilt
    EXPECT_EQ(list.GetItemByUrl(u"moved.htm"), nullptr);
    list.initializeUrls();
    EXPECT_EQ(list.GetItemByUrl(u"moved.htm")->Topic, u"First");
    EXPECT_EQ(list.GetItemByUrl(u"dir/page.htm")->Topic, u"Second");
}

}  // namespace
}  // namespace quillet
