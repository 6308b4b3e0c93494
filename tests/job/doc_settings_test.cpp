#include "job/doc_settings.h"
#include "job/chm_to_doc_pdf.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(DocSettings, DefaultsMatchTheDocumentedValues) {
    const TDocPDFSettings s;
    EXPECT_EQ(s.PaperSize, 4);
    EXPECT_EQ(s.Height, 0);
    EXPECT_EQ(s.Width, 0);
    EXPECT_EQ(s.Top, 25);
    EXPECT_EQ(s.Bottom, 25);
    EXPECT_EQ(s.Left, 30);
    EXPECT_EQ(s.Right, 30);
    EXPECT_TRUE(s.Cover && s.Header && s.Footer && s.Toc && s.TitleNumber);
    EXPECT_FALSE(s.AddHint || s.Discard);
    EXPECT_EQ(s.ShowLevel, 3);
    EXPECT_EQ(s.TOCCaption, u"Table of Contents");
    EXPECT_EQ(s.HintFormat, u"See [Title No.]");
    EXPECT_EQ(s.StartNewPage, 0);
    EXPECT_EQ(s.Addenda, u"Addenda");
    const int sizes[] = {27, 25, 23, 21, 19, 17, 15, 13, 11};
    for (int level = 1; level <= 9; ++level) {
        SCOPED_TRACE(level);
        EXPECT_EQ(s.HeadingFont[level].Name, u"Calibri");
        EXPECT_EQ(s.HeadingFont[level].Size, sizes[level - 1]);
        EXPECT_EQ(s.HeadingFont[level].Color, 0);
        EXPECT_TRUE(s.HeadingFont[level].Style.empty());
    }
}

TEST(DocSettings, AssignCopiesEverythingAndSharesNothing) {
    TDocPDFSettings a;
    a.PaperSize = 41;
    a.Height = 297;
    a.TOCCaption = u"目录";
    a.Discard = true;
    a.HeadingFont[3].Name = u"Arial";
    a.HeadingFont[3].Style.set(FontStyle::Italic);
    TDocPDFSettings b;
    b.Assign(a);
    EXPECT_EQ(b.PaperSize, 41);
    EXPECT_EQ(b.Height, 297);
    EXPECT_EQ(b.TOCCaption, u"目录");
    EXPECT_TRUE(b.Discard);
    EXPECT_EQ(b.HeadingFont[3], a.HeadingFont[3]);

    b.HeadingFont[3].Size = 40;
    a.HeadingFont[1].Name = u"Changed";
    EXPECT_EQ(a.HeadingFont[3].Size, 23);
    EXPECT_EQ(b.HeadingFont[1].Name, u"Calibri");
}

TEST(ChmToDocPDF, UpdateSettingsCopiesTheDistillationSettingsAsTheyAre) {
    TChmToDocPDF job;
    EXPECT_FALSE(job.OK);
    EXPECT_FALSE(job.Abort);
    job.Settings->AddHint = true;
    job.Settings->HintFormat = u"";
    job.Settings->Discard = true;
    job.Settings->Addenda = u"";
    job.HintFormat = u"stale";
    job.Addenda = u"stale";
    job.UpdateSettings();
    EXPECT_TRUE(job.AddHint);
    EXPECT_EQ(job.HintFormat, u"");
    EXPECT_TRUE(job.Discard);
    EXPECT_EQ(job.Addenda, u"");
}

TEST(ChmToDocPDF, TheDocumentTitleHidesTheHelpFilesTitle) {
    TChmToDocPDF job;
    job.Title = u"typed by the user";
    static_cast<TCHMDecompile&>(job).Title = u"read from the help file";
    EXPECT_EQ(job.Title, u"typed by the user");
}

TEST(ChmToDocPDF, TheWordStageRunsWhenSuppliedAndFailsClearlyWhenNot) {
    TChmToDocPDF job;
    try {
        job.OutputWord();
        FAIL() << "expected an error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("not built yet"), std::string::npos);
    }
    bool ran = false;
    job.setWordStage([&](TChmToDocPDF& j) { ran = &j == &job; });
    job.OutputWord();
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace quillet
