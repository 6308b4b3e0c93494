#include "distill/chm_distill.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillet {
namespace {

TEST(ChapterNumbers, FollowTheLevelCounters) {
    struct Case {
        std::vector<int> levels;
        std::vector<std::u16string> numbers;
    };
    const Case cases[] = {
        {{0, 1, 1, 0}, {u"1.", u"1.1", u"1.2", u"2."}},
        {{0, 1, 2, 1, 2}, {u"1.", u"1.1", u"1.1.1", u"1.2", u"1.2.1"}},
        {{1, 1}, {u".1", u".2"}},
        {{0, 2}, {u"1.", u"1..1"}},
        {{0, 9, -1}, {u"1.", u"1.", u"1."}},  // deeper than 8, or -1: no counter changes
        {{0, 1, 2, 3, 4, 5, 6, 7, 8},
         {u"1.", u"1.1", u"1.1.1", u"1.1.1.1", u"1.1.1.1.1", u"1.1.1.1.1.1", u"1.1.1.1.1.1.1",
          u"1.1.1.1.1.1.1.1", u"1.1.1.1.1.1.1.1.1"}},
    };
    for (const auto& c : cases) {
        TTitleLists list;
        for (int level : c.levels) list.add().Level = level;
        numberChapters(list);
        for (std::size_t n = 0; n < list.size(); ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(list[n].ChapterNumber, c.numbers[n]);
        }
    }
}

class NonTocTest : public ::testing::Test {
protected:
    NonTocTest() {
        job.rootFolder = fromPath(dir.path()) + u"/";
        job.Addenda = u"Addenda";
        job.List.add().Topic = u"Home";
        job.List[0].Url = u"index.htm";
        page("b.htm", "<title> Second page </title>");
        page("a.htm", "<p>no title</p>");
        job.NonTocicFiles.add(job.rootFolder + u"b.htm");
        job.NonTocicFiles.add(job.rootFolder + u"a.htm");
        auto titled = std::make_unique<TChmTopicFile>();
        titled->Filename = job.rootFolder + u"A.htm";
        titled->Title3 = u"First block";
        job.TopicList.add(std::move(titled));
    }
    void page(const char* name, const char* html) { std::ofstream(dir.path() / name) << html; }

    testing::TempDir dir;
    TCHMDistill job;
};

TEST_F(NonTocTest, PagesOutsideTheContentsGoUnderTheAddendaHeading) {
    job.NonTocFileToToc();
    job.GetBookmark();
    ASSERT_EQ(job.List.size(), 4u);
    EXPECT_EQ(job.List[1].Topic, u"Addenda");
    EXPECT_EQ(job.List[1].Status, 2);
    EXPECT_EQ(job.List[1].Level, 0);
    // The list is sorted: a.htm first. Without a title element, the first block stands in.
    EXPECT_EQ(job.List[2].Topic, u"First block");
    EXPECT_EQ(job.List[2].Url, u"a.htm");
    EXPECT_EQ(job.List[3].Topic, u"Second page");
    EXPECT_EQ(job.List[3].Level, 1);
    EXPECT_EQ(job.List[3].Status, 0);
    EXPECT_EQ(job.NonTocicFiles[1].object, &job.List[3]);
    EXPECT_EQ(job.List[0].Bookmark, u"Bookmark0");
    EXPECT_EQ(job.List[3].Bookmark, u"Bookmark3");
}

TEST_F(NonTocTest, DiscardLeavesTheContentsAsTheyAre) {
    job.Discard = true;
    job.NonTocFileToToc();
    EXPECT_EQ(job.List.size(), 1u);
}

// A cancel request raised from the progress report must stop a long step, not wait for its end.
TEST(Distill, LongStepsReportSoThatACancelActsInsideThem) {
    testing::TempDir dir;
    TCHMDistill job;
    job.rootFolder = fromPath(dir.path()) + u"/";
    std::ofstream(dir.path() / "page.htm") << "<html><body><p>text</p></body></html>";
    job.List.add().Topic = u"Page";
    job.List[0].Url = u"page.htm";
    struct Cancelled {};
    std::vector<std::u16string> reports;
    job.FOnChange = [&](const std::u16string& info, int) {
        reports.push_back(info);
        if (info.empty()) throw Cancelled();
    };
    EXPECT_THROW(job.Execute(), Cancelled);
    EXPECT_EQ(reports, (std::vector<std::u16string>{u"Analyzing...", u""}));
}

TEST(TopicFileList, FindsFilesWithoutRegardToCase) {
    TChmTopicFileList list;
    auto file = std::make_unique<TChmTopicFile>();
    file->Filename = u"/r/Page.htm";
    TChmTopicFile* added = &list.add(std::move(file));
    EXPECT_EQ(list.GetItemByFilename(u"/R/page.HTM"), added);
    EXPECT_EQ(list.GetItemByFilename(u"/r/other.htm"), nullptr);
}

}  // namespace
}  // namespace quillet
