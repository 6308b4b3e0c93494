// A story's items when a fragment brings many at once: they merge in as adding them one by one
// would have put them, ties and repeated names included.
#include "engine/story.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet::engine {
namespace {

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
