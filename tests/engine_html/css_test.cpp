// The CSS value syntax and selector matching of web-page reading.
#include "engine/html/css.h"
#include "engine/html/local_address.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillet::engine::html {
namespace {

TEST(CssValues, Colors) {
    struct Case {
        std::string_view in;
        std::optional<int> out;  // 0x00BBGGRR
    };
    const Case cases[] = {
        {"#ff0000", 0x0000FF},         {"#0F0", 0x00FF00},
        {"0000ff", 0xFF0000},          {"rgb(1, 2, 3)", 0x030201},
        {"rgb(100%,0%,0%)", 0x0000FF}, {"Navy", 0x800000},
        {"transparent", std::nullopt}, {"#12", std::nullopt},
        {"nonsense", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(parseColor(c.in), c.out);
    }
}

TEST(CssValues, LengthsAndFontSizes) {
    EXPECT_EQ(parseLength("16px", 12), 12.0);
    EXPECT_EQ(parseLength("1.5em", 10), 15.0);
    EXPECT_EQ(parseLength("1in", 12), 72.0);
    EXPECT_EQ(parseLength("0", 12), 0.0);
    EXPECT_EQ(parseLength("12", 12), std::nullopt);  // a unit is needed
    EXPECT_EQ(parseLength("50%", 12), std::nullopt);
    EXPECT_EQ(parseLength("50%", 12, 200.0), 100.0);
    EXPECT_EQ(parseFontSize("150%", 10), 15.0);
    EXPECT_EQ(parseFontSize("x-large", 10), 18.0);
    EXPECT_EQ(parseFontSize("-3pt", 10), std::nullopt);
    EXPECT_EQ(fontSizeAttribute("1"), 7.5);
    EXPECT_EQ(fontSizeAttribute("+1"), 13.5);
    EXPECT_EQ(fontSizeAttribute("9"), 36.0);
    EXPECT_EQ(fontSizeAttribute("1e300"), 36.0);
    EXPECT_EQ(fontSizeAttribute("-1e300"), 7.5);
    EXPECT_EQ(parseFontFamilies("'Segoe UI', \"宋体\", sans-serif"),
              (std::vector<std::u16string>{u"Segoe UI", u"宋体", u"Arial"}));
}

ElementKey key(std::string tag, std::string id = {}, std::vector<std::string> classes = {}) {
    ElementKey k;
    k.tag = std::move(tag);
    k.id = std::move(id);
    k.classes = std::move(classes);
    return k;
}

// The declarations of the matching rules, joined in cascade order.
std::string cascade(const StyleSheetSet& sheet, const std::vector<ElementKey>& path) {
    std::string out;
    for (const Rule* r : sheet.matching(path))
        for (const Declaration& d : *r->declarations)
            out += d.value + (d.important ? "!" : "") + " ";
    return out;
}

TEST(CssSelectors, MatchBySpecificityThenOrder) {
    StyleSheetSet sheet;
    sheet.add(R"(
        /* comment */ p { color: a }
        .note { color: b }
        #x { color: c !important }
        div p { color: d }
        body > p { color: e }
        div > p { color: f }
        p.note, h1 { color: g }
        p:hover { color: never }
        p[title] { color: never }
        div + p { color: never }
        @media print { p { color: never } }
        @media screen { p { color: h } }
        p { color: i }
    )");
    const std::vector<ElementKey> path = {key("html"), key("body"), key("div"),
                                          key("p", "x", {"note", "other"})};
    EXPECT_EQ(cascade(sheet, path), "a h i d f b g c! ");
    EXPECT_EQ(cascade(sheet, {key("body"), key("p")}), "a h i e ");
    EXPECT_EQ(cascade(sheet, {key("h1")}), "g ");
}

TEST(CssSelectors, AttributeSelectors) {
    ElementKey a = key("a");
    a.attributes = {{"name", "top"},
                    {"title", "Go Home now"},
                    {"lang", "en-GB"},
                    {"href", "Intro.HTM"},
                    {"class", "x y"}};
    ElementKey input = key("input");
    input.attributes = {{"type", "checkbox"}};
    struct Case {
        const char* selector;
        bool onA, onInput;
    };
    const Case cases[] = {
        {"a[name]", true, false},
        {"[type=checkbox]", false, true},
        {"input[type=\"checkbox\"]", false, true},
        {"input[type='radio']", false, false},
        {"[title~=Home]", true, false},
        {"[title~=Hom]", false, false},
        {"[title='go home now' i]", true, false},
        {"[title = 'Go Home now']", true, false},
        {"[lang|=en]", true, false},
        {"[href^=Intro]", true, false},
        {"[href$='.htm' i]", true, false},
        {"[href$='.htm']", false, false},
        {"[href*=tro]", true, false},
        {"[class~=y]", true, false},
        {"a[name][title]", true, false},
        {"a[nam", false, false},
        {"a[=x]", false, false},
    };
    for (const Case& c : cases) {
        StyleSheetSet sheet;
        sheet.add(std::string(c.selector) + " { color: z }");
        EXPECT_EQ(cascade(sheet, {a}) == "z ", c.onA) << c.selector;
        EXPECT_EQ(cascade(sheet, {input}) == "z ", c.onInput) << c.selector;
    }
}

TEST(CssSelectors, CombinatorsMatchDeepElementsWithoutTryingEveryAncestor) {
    // Two hundred nested divs: a selector that cannot match once had every combination of them
    // to try. Some need a later ancestor after a nearer one failed (a child combinator).
    std::vector<ElementKey> deep = {key("html"), key("body")};
    for (int i = 0; i < 200; ++i) deep.push_back(key("div", {}, {i == 3 ? "third" : "plain"}));
    deep.push_back(key("p"));
    const std::vector<ElementKey> list = {key("ul"), key("li"), key("div"), key("li"), key("p")};
    struct Case {
        std::string_view selector;
        const std::vector<ElementKey>& path;
        bool matches;
    };
    const Case cases[] = {
        {"span div div div div div div div div div p", deep, false},
        {"div div div div div div div div div div p", deep, true},
        {"body > div .third div > p", deep, true},
        {"html > div p", deep, false},
        {"div.third div div.third p", deep, false},
        {"ul > li p", list, true},
        {"ol > li p", list, false},
        {"ul li > div > li > p", list, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selector);
        StyleSheetSet sheet;
        sheet.add(std::string(c.selector) + " { color: x }");
        EXPECT_EQ(cascade(sheet, c.path), c.matches ? "x " : "");
    }
}

TEST(CssSelectors, ImportsAreReturnedAndDeclarationsParsed) {
    StyleSheetSet sheet;
    EXPECT_EQ(sheet.add("@import url(\"a.css\"); @import 'b.css'; p{}"),
              (std::vector<std::string>{"a.css", "b.css"}));
    const auto d =
        parseDeclarations("Color : Red ; font-family: 'a;b', x ;; bad ; margin:0 !important");
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].name, "color");
    EXPECT_EQ(d[0].value, "Red");
    EXPECT_EQ(d[1].value, "'a;b', x");
    EXPECT_TRUE(d[2].important);
}

std::string repeat(std::string_view piece, int times) {
    std::string out;
    out.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int n = 0; n < times; ++n) out += piece;
    return out;
}

TEST(CssSheets, BlocksNestedAHundredThousandDeepAreReadInOnePass) {
    // Each level once had the rest of the sheet copied and searched, and a call of its own.
    constexpr int kDeep = 100'000;
    struct Case {
        const char* what;
        std::string css;
        std::string onP, onQ;  // the cascade of a <p> and of a <q>
    };
    const Case kCases[] = {
        {"media for screens",
         repeat("@media screen {", kDeep) + " p { color: x } " + repeat("}", kDeep) +
             " q { color: y }",
         "x ", "y "},
        {"never closed", repeat("@media all and (min-width: 1px) {", kDeep) + " p { color: x }",
         "x ", ""},
        {"media for print",
         repeat("@media print {", kDeep) + " p { color: x } " + repeat("}", kDeep) +
             " q { color: y }",
         "", "y "},
        {"screen inside print",
         "@media print {" + repeat("@media screen {", kDeep) + " p { color: x } " +
             repeat("}", kDeep + 1) + " q { color: y }",
         "", "y "},
        {"supports",
         repeat("@supports (display: block) {", kDeep) + " p { color: x } " + repeat("}", kDeep) +
             " q { color: y }",
         "", "y "},
        {"plain blocks",
         repeat("{", kDeep) + " p { color: x } " + repeat("}", kDeep) + " q { color: y }", "",
         "y "},
        {"a rule at every level",
         repeat("@media screen { p { color: x } ", kDeep) + repeat("}", kDeep) + " q { color: y }",
         repeat("x ", kDeep), "y "},
        // Inside a block, a brace the rule before left open closes nothing but that rule.
        {"stray braces", "@media screen { p { a { color: x } } q { color: y } } p { color: z }",
         "x z ", "y "},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        StyleSheetSet sheet;
        sheet.add(c.css);
        EXPECT_EQ(cascade(sheet, {key("p")}), c.onP);
        EXPECT_EQ(cascade(sheet, {key("q")}), c.onQ);
    }
    StyleSheetSet sheet;
    EXPECT_EQ(sheet.add(repeat("@media screen {", kDeep) + "@import 'deep.css'; p { color: x }" +
                        repeat("}", kDeep) + "@import 'late.css';"),
              (std::vector<std::string>{"deep.css", "late.css"}));
}

TEST(CssSheets, ASelectorListsDeclarationsCountOnceWhereItsMostSpecificMatchPutsThem) {
    StyleSheetSet sheet;
    sheet.add("p.note, p { color: a } .note { color: b } h1, h2 { color: c }");
    EXPECT_EQ(cascade(sheet, {key("p", "", {"note"})}), "b a ");
    EXPECT_EQ(cascade(sheet, {key("p")}), "a ");
    EXPECT_EQ(cascade(sheet, {key("h2")}), "c ");

    // Twenty thousand selectors over twenty thousand declarations: one block, not one per
    // selector, and an element that all of them match gets it once.
    constexpr int kMany = 20'000;
    StyleSheetSet many;
    many.add(repeat("p, ", kMany) + "p { " + repeat("color: x; ", kMany) + "}");
    EXPECT_EQ(cascade(many, {key("p")}), repeat("x ", kMany));
}

TEST(LocalAddress, OnlyFilesInsideTheWorkingFolder) {
    testing::TempDir dir;
    const auto root = dir.path() / "root";
    std::filesystem::create_directories(root / "pages");
    std::filesystem::create_directories(root / "Images");
    std::ofstream(root / "Images" / "Logo.gif") << "x";
    std::ofstream(dir.path() / "secret.gif") << "x";
    std::filesystem::create_symlink(dir.path() / "secret.gif", root / "link.gif");
    const std::u16string base = fromPath(root / "pages");
    const std::u16string top = fromPath(root);
    struct Case {
        std::u16string_view address;
        bool found;
    };
    const Case cases[] = {
        {u"../images/logo.GIF", true},  // up, but still inside; letter case ignored
        {u"..\\Images\\Logo.gif?x=1#y", true},
        {u"../Images/Logo%2Egif", true},
        {u"../../secret.gif", false},  // leaves the folder
        {u"../link.gif", false},       // a link that points outside
        {u"/etc/passwd", false},
        {u"file:///etc/passwd", false},
        {u"http://example.com/a.gif", false},
        {u"//server/share/a.gif", false},
        {u"c:/windows/a.gif", false},
        {u"missing.gif", false},
        {u"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.address));
        EXPECT_EQ(resolveLocalFile(c.address, base, top).has_value(), c.found);
    }
}

}  // namespace
}  // namespace quillet::engine::html
