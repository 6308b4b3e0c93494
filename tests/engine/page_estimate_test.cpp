// The page numbers that the table of contents shows before a word processor lays the document
// out: text that fills pages, page breaks, a section that restarts numbering, and the contents'
// own lines.
#include "engine_fixture.h"

#include <regex>
#include <vector>

namespace quillet::testing {
namespace {

class PageEstimate : public EngineTest {
protected:
    void paragraph(const std::u16string& text, int style) {
        const Object r = doc.at(u"Content");
        r.call(u"Collapse", {0});
        r.put(u"Style", style);
        r.call(u"InsertAfter", {text});
        r.call(u"InsertParagraphAfter");
    }
    void insertBreak(int kind) {
        const Object r = doc.at(u"Content");
        r.call(u"Collapse", {0});
        r.call(u"InsertBreak", {kind});
    }
    // The numbers the contents' entries end in, in order.
    std::vector<int> contentsNumbers() const {
        std::vector<int> numbers;
        const std::string dump = paragraphs();
        static const std::regex entry(R"(\[TOC \d[^\]]*\] [^\n]*PAGEREF [^\n]*\{fs\}(\d*)\{fe\})");
        for (auto it = std::sregex_iterator(dump.begin(), dump.end(), entry);
             it != std::sregex_iterator(); ++it)
            numbers.push_back((*it)[1].length() ? std::stoi((*it)[1]) : 0);
        return numbers;
    }
};

TEST_F(PageEstimate, TheContentsShowWhereEachHeadingWouldFall) {
    // Letter paper with one-inch margins holds 648 points of text: some 46 lines of 12 points.
    doc.at(u"PageSetup").put(u"TopMargin", 72);
    doc.at(u"PageSetup").put(u"BottomMargin", 72);
    paragraph(u"Contents", -1);
    paragraph(u"", -1);  // where the contents go
    paragraph(u"First", -2);
    for (int i = 0; i < 60; ++i) paragraph(u"A line of body text.", -1);
    paragraph(u"Second", -2);  // after 60 lines: on the next page
    insertBreak(7);
    paragraph(u"Third", -3);  // after a page break
    insertBreak(2);
    const Object numbers =
        doc.at(u"Sections").at(u"Item", {2}).at(u"Footers").at(u"Item", {1}).at(u"PageNumbers");
    numbers.put(u"RestartNumberingAtSection", true);
    numbers.put(u"StartingNumber", 10);
    // A paragraph that wraps: some 60 lines of 12-point text 432 points wide.
    paragraph(std::u16string(4300, u'x'), -1);
    paragraph(u"Fourth", -2);
    const Object contents = doc.at(u"TablesOfContents")
                                .call(u"Add", {named(u"Range", doc.at(u"Range", {9, 9}))})
                                .toObject();
    EXPECT_EQ(contentsNumbers(), (std::vector<int>{1, 2, 3, 11}));

    // A contents long enough to fill a page moves the headings after it a page on, up to the
    // section that restarts its numbering.
    for (int i = 0; i < 50; ++i) paragraph(u"Heading " + fromUtf8(std::to_string(i)), -4);
    contents.call(u"Update");
    const std::vector<int> after = contentsNumbers();
    ASSERT_EQ(after.size(), 54u);
    EXPECT_EQ(std::vector<int>(after.begin(), after.begin() + 4), (std::vector<int>{2, 3, 4, 11}));
    expectConsistent();
}

}  // namespace
}  // namespace quillet::testing
