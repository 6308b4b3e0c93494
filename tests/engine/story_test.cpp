// The story keeps character formatting as runs and paragraph formatting as numbers into shared
// tables. These tests hold it against a plain model that keeps one formatting per character and
// per paragraph mark, over a fixed sequence of random edits; and the bookmarks found by name.
#include "engine/story.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace quillet::engine {
namespace {

// What the story should hold: the text, the formatting of each character, and the paragraph
// formatting of each paragraph mark (unset for other characters).
struct Plain {
    std::u16string text{kParagraphMark};
    std::vector<CharFormat> chars{CharFormat{}};
    std::vector<ParaFormat> marks{ParaFormat{}};

    int paragraphOf(int pos) const {
        int p = 0;
        for (int i = 0; i < pos; ++i)
            if (endsParagraph(text[static_cast<std::size_t>(i)])) ++p;
        return p;
    }
    int markOf(int paragraph) const {
        for (int i = 0, p = 0; i < static_cast<int>(text.size()); ++i)
            if (endsParagraph(text[static_cast<std::size_t>(i)]) && p++ == paragraph) return i;
        return -1;
    }
};

CharFormat charFormatNumber(int n) {
    CharFormat f;
    if (n & 1) f.bold = true;
    if (n & 2) f.italic = true;
    if (n & 4) f.font = u"Courier New";
    return f;
}

ParaFormat paraFormatNumber(int n) {
    ParaFormat f;
    if (n & 1) f.alignment = 1;
    if (n & 2) f.leftIndent = 18;
    return f;
}

void expectSame(const Story& story, const Plain& plain, const std::string& step) {
    SCOPED_TRACE(step);
    ASSERT_EQ(story.checkInvariants(), "");
    ASSERT_EQ(story.text(0, story.length()), plain.text);
    for (int pos = 0; pos < story.length(); ++pos) {
        ASSERT_EQ(story.charFormat(pos), plain.chars[static_cast<std::size_t>(pos)]) << pos;
        const FormatRun run = story.formatRunAt(pos);
        ASSERT_TRUE(run.start <= pos && pos < run.end) << pos;
        ASSERT_EQ(story.charFormatId(pos), run.format) << pos;
    }
    int paragraph = 0;
    for (int pos = 0; pos < story.length(); ++pos) {
        if (!endsParagraph(plain.text[static_cast<std::size_t>(pos)])) continue;
        ASSERT_EQ(story.paragraphEnd(paragraph), pos + 1);
        ASSERT_EQ(story.paragraphFormat(paragraph), plain.marks[static_cast<std::size_t>(pos)])
            << "paragraph " << paragraph;
        ++paragraph;
    }
    ASSERT_EQ(story.paragraphCount(), paragraph);
    // Runs are as long as they can be: walking them from the start meets every change of format.
    for (int pos = 0; pos < story.length();) {
        const FormatRun run = story.formatRunAt(pos);
        if (run.end < story.length()) {
            ASSERT_NE(story.charFormatId(run.end), run.format);
        }
        pos = run.end;
    }
}

TEST(StoryFormatting, RandomEditsKeepTheSameFormattingAsAPlainModel) {
    std::mt19937 random(20240611);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    Story story;
    Plain plain;
    for (int step = 0; step < 600; ++step) {
        const int length = story.length();
        const int kind = below(5);
        std::string name = "step " + std::to_string(step) + " kind " + std::to_string(kind);
        if (kind <= 1) {
            // Insert a fragment whose runs and paragraphs are its own numbering.
            Fragment f;
            std::vector<CharFormat> chars;
            std::vector<ParaFormat> marks;
            const bool ownParagraphs = below(4) != 0;
            const int runs = below(4);
            for (int r = 0; r < runs; ++r) {
                std::u16string piece;
                for (int n = below(6) + 1; n > 0; --n)
                    piece +=
                        below(5) == 0 ? kParagraphMark : static_cast<char16_t>(u'a' + below(3));
                const CharFormat format = charFormatNumber(below(8));
                for (char16_t c : piece) {
                    chars.push_back(format);
                    if (!endsParagraph(c)) continue;
                    const ParaFormat p = paraFormatNumber(below(4));
                    if (ownParagraphs) f.addParagraph(p);
                    marks.push_back(p);
                }
                f.append(piece, format);
            }
            const int pos = below(length);
            name += " insert " + std::to_string(f.text.size()) + " at " + std::to_string(pos);
            story.insert(pos, f);
            const ParaFormat split =
                plain.marks[static_cast<std::size_t>(plain.markOf(plain.paragraphOf(pos)))];
            std::size_t next = 0;
            for (std::size_t i = 0; i < f.text.size(); ++i)
                if (endsParagraph(f.text[i]) && !ownParagraphs) marks[next++] = split;
            std::vector<ParaFormat> inserted(f.text.size());
            for (std::size_t i = 0, m = 0; i < f.text.size(); ++i)
                if (endsParagraph(f.text[i])) inserted[i] = marks[m++];
            plain.text.insert(static_cast<std::size_t>(pos), f.text);
            plain.chars.insert(plain.chars.begin() + pos, chars.begin(), chars.end());
            plain.marks.insert(plain.marks.begin() + pos, inserted.begin(), inserted.end());
        } else if (kind == 2) {
            const int from = below(length);
            const int to = std::min(length - 1, from + below(10));
            name += " remove " + std::to_string(from) + "-" + std::to_string(to);
            story.remove(from, to);
            if (to > from) {
                plain.text.erase(static_cast<std::size_t>(from),
                                 static_cast<std::size_t>(to - from));
                plain.chars.erase(plain.chars.begin() + from, plain.chars.begin() + to);
                plain.marks.erase(plain.marks.begin() + from, plain.marks.begin() + to);
            }
        } else if (kind == 3) {
            const int from = below(length);
            const int to = std::min(length, from + below(12));
            const CharFormat over = charFormatNumber(below(8));
            name += " format characters " + std::to_string(from) + "-" + std::to_string(to);
            story.formatCharacters(from, to, [&](CharFormat& f) { f.apply(over); });
            for (int i = from; i < to; ++i) plain.chars[static_cast<std::size_t>(i)].apply(over);
        } else {
            const int first = below(story.paragraphCount());
            const int last = std::min(story.paragraphCount() - 1, first + below(3));
            const int alignment = below(4);
            name += " format paragraphs " + std::to_string(first) + "-" + std::to_string(last);
            story.formatParagraphs(first, last, [&](ParaFormat& p) { p.alignment = alignment; });
            for (int p = first; p <= last; ++p)
                plain.marks[static_cast<std::size_t>(plain.markOf(p))].alignment = alignment;
        }
        expectSame(story, plain, name);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

TEST(StoryFormatting, ACopyInsertedElsewhereBringsItsFormattingAlong) {
    Story story;
    Fragment f;
    f.append(u"plain ", CharFormat{});
    f.append(u"bold", charFormatNumber(1));
    f.append(std::u16string(1, kParagraphMark), CharFormat{});
    f.addParagraph(paraFormatNumber(1));
    f.append(u"italic", charFormatNumber(2));
    f.append(std::u16string(1, kParagraphMark), charFormatNumber(2));
    f.addParagraph(paraFormatNumber(2));
    story.insert(0, f);
    const Fragment copy = story.copy(2, 18);  // "ain bold\ritalic\r"
    story.insert(story.length() - 1, copy);
    ASSERT_EQ(story.checkInvariants(), "");
    const int at = 18;  // where the copy begins: before the final mark
    EXPECT_EQ(story.text(at, story.length()), u"ain bold\ritalic\r\r");
    EXPECT_EQ(story.charFormat(at + 4), charFormatNumber(1));
    EXPECT_EQ(story.charFormat(at + 9), charFormatNumber(2));
    EXPECT_EQ(story.charFormat(at + 3), CharFormat{});
    EXPECT_EQ(story.paragraphFormat(2), paraFormatNumber(1));
    EXPECT_EQ(story.paragraphFormat(3), paraFormatNumber(2));
    // Paragraphs that share a format number are edited one at a time.
    story.formatParagraphs(2, 2, [](ParaFormat& p) { p.spaceAfter = 6; });
    EXPECT_EQ(story.paragraphFormat(0), paraFormatNumber(1));
    EXPECT_EQ(story.paragraphFormat(2).spaceAfter, 6);
}

TEST(StoryBookmarks, NamesMatchWithoutRegardToAsciiCase) {
    Story story;
    story.insert(0, Fragment::plain(u"some text"));
    story.addBookmark(u"Intro", 0, 4);
    story.addBookmark(u"Über", 5, 9);
    Bookmark& moved = story.addBookmark(u"INTRO", 1, 2);  // the same name: the bookmark moves
    ASSERT_EQ(story.checkInvariants(), "");
    ASSERT_EQ(story.bookmarks().size(), 2u);
    EXPECT_EQ(story.findBookmark(u"intro"), &moved);
    EXPECT_EQ(story.findBookmark(u"intro")->name, u"INTRO");
    EXPECT_NE(story.findBookmark(u"Über"), nullptr);
    EXPECT_EQ(story.findBookmark(u"üBER"), nullptr);  // only ASCII letters fold
    story.removeBookmark(&moved);
    EXPECT_EQ(story.findBookmark(u"Intro"), nullptr);
    EXPECT_EQ(story.checkInvariants(), "");
}

TEST(FragmentFormats, EditsReachEachDistinctFormatOnceInTheOrderOfFirstUse) {
    Fragment f;
    for (int style : {4, 2, 4, 7, 2}) {
        ParaFormat p;
        p.style = style;
        f.addParagraph(p);
    }
    std::vector<int> seen;
    f.editParagraphFormats([&](ParaFormat& p) {
        seen.push_back(p.style);
        p.style = p.style == 7 ? 20 : p.style * 10;  // 7 ends as 2 does
    });
    EXPECT_EQ(seen, (std::vector<int>{4, 2, 7}));
    std::vector<int> styles;
    for (std::size_t i = 0; i < f.paragraphs.size(); ++i)
        styles.push_back(f.paragraphFormat(i).style);
    EXPECT_EQ(styles, (std::vector<int>{40, 20, 40, 20, 20}));
    EXPECT_EQ(f.paragraphs[3], f.paragraphs[1]);
    EXPECT_EQ(f.paraFormats.size(), 2u);

    // Appending renumbers into the destination's tables and merges runs of the same formatting.
    Fragment to;
    to.append(u"ab", charFormatNumber(1));
    Fragment from;
    from.append(u"cd", charFormatNumber(1));
    from.append(u"e", charFormatNumber(2));
    to.appendText(from);
    EXPECT_EQ(to.text, u"abcde");
    ASSERT_EQ(to.runs.size(), 2u);
    EXPECT_EQ(to.runs[0].length, 4);
    EXPECT_EQ(to.charFormat(to.runs[1]), charFormatNumber(2));
}

// A fragment's items merge in as adding them one by one would have put them, ties and repeated
// names included.
template <class T>
std::string order(const std::vector<std::shared_ptr<T>>& items) {
    std::string out;
    for (const auto& item : items) {
        out += std::to_string(item->start) + "-" + std::to_string(item->end);
        if constexpr (requires { item->name; })
            out += std::string(item->name.begin(), item->name.end());
        if constexpr (requires { item->subAddress; })
            out += std::string(item->subAddress.begin(), item->subAddress.end());
        out += " ";
    }
    return out;
}

TEST(StoryItems, AFragmentsItemsMergeAsIfAddedOneByOne) {
    // Existing items before, at and after the insertion point (5), and a fragment whose items
    // are out of order, share starts with each other and with the existing ones, and repeat a
    // name (the first one stays).
    Fragment fragment = Fragment::plain(u"0123456789");
    for (auto [start, end, name] : std::vector<std::tuple<int, int, std::u16string>>{
             {4, 6, u"f1"}, {0, 2, u"f2"}, {4, 4, u"f3"}, {0, 1, u"F1"}, {9, 10, u"f4"}}) {
        Bookmark b;
        b.start = start;
        b.end = end;
        b.name = name;
        fragment.bookmarks.push_back(b);
        if (start == end) continue;  // a hyperlink is never empty
        Hyperlink h;
        h.start = start;
        h.end = end;
        h.subAddress = name;
        fragment.hyperlinks.push_back(h);
    }
    const auto prepare = [](Story& story) {
        story.insert(0, Fragment::plain(u"abcdefghij"));
        for (auto [start, end, name] : std::vector<std::tuple<int, int, std::u16string>>{
                 {0, 3, u"e1"}, {5, 5, u"e2"}, {5, 7, u"e3"}, {8, 9, u"e4"}}) {
            story.addBookmark(name, start, end);
            if (start == end) continue;
            Hyperlink h;
            h.start = start;
            h.end = end;
            h.subAddress = name;
            story.addHyperlink(h);
        }
    };
    Story merged;
    prepare(merged);
    merged.insert(5, fragment);

    Story oneByOne;
    prepare(oneByOne);
    oneByOne.insert(5, Fragment::plain(fragment.text));
    for (const Bookmark& b : fragment.bookmarks)
        if (!oneByOne.findBookmark(b.name)) oneByOne.addBookmark(b.name, b.start + 5, b.end + 5);
    for (Hyperlink h : fragment.hyperlinks) {
        h.start += 5;
        h.end += 5;
        oneByOne.addHyperlink(h);
    }
    EXPECT_EQ(merged.checkInvariants(), "");
    EXPECT_EQ(order(merged.bookmarks()), order(oneByOne.bookmarks()));
    EXPECT_EQ(order(merged.hyperlinks()), order(oneByOne.hyperlinks()));
    EXPECT_EQ(merged.bookmarks().size(), 8u);  // four kept, four of five added

    // Many at once under one name move it, as one by one would.
    std::vector<Bookmark> many(3);
    for (int n = 0; n < 3; ++n) {
        many[n].name = u"E2";
        many[n].start = many[n].end = 10 - n;
    }
    merged.addBookmarks(many);
    ASSERT_NE(merged.findBookmark(u"e2"), nullptr);
    EXPECT_EQ(merged.findBookmark(u"e2")->start, 8);
    EXPECT_EQ(merged.bookmarks().size(), 8u);
    EXPECT_EQ(merged.checkInvariants(), "");
}

}  // namespace
}  // namespace quillet::engine
