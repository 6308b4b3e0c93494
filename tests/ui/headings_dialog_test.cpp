// The heading styles dialog and its font editors: what an editor shows, keeps and gives back.

#include "ui/headings_dialog.h"

#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QTest>

namespace quillet::ui {
namespace {

TFont font(const char16_t* spec) {
    TFont f;
    StringToFont(spec, f);
    return f;
}

class HeadingsDialogTest : public ::testing::Test {
protected:
    HeadingsDialogTest() {
        testing::testApp();
        for (int level = 1; level <= 9; ++level) {
            editor(level).FFont = font(u"Calibri,20,0,[]");
            editor(level).Apply();
        }
    }
    TfrmFontDialog& editor(int level) {
        return *dialog.FontDialog[static_cast<std::size_t>(level)];
    }
    TfrmHeadings dialog;
};

TEST_F(HeadingsDialogTest, BuildsOneButtonEditorAndPreviewPerLevel) {
    EXPECT_EQ(dialog.windowTitle(), "标题样式");
    EXPECT_EQ(dialog.size(), QSize(564, 408));
    EXPECT_EQ(dialog.Button[3]->text(), "Level 3");
    EXPECT_EQ(dialog.Button[3]->geometry(), QRect(450, 88, 100, 30));
    EXPECT_EQ(editor(3).windowTitle(), "Leve 3");
    editor(3).FFont = font(u"DejaVu Sans,14,255,[B]");
    dialog.Update();
    EXPECT_EQ(dialog.Preview[3]->text(), "Level3: DejaVu Sans");
    EXPECT_TRUE(dialog.Preview[3]->font().bold());
    EXPECT_EQ(dialog.Preview[3]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(HeadingsDialogTest, ConfirmingAnEditorTakesThePreviewFont) {
    struct Case {
        const char16_t* stored;
        const char16_t* confirmed;
    };
    const Case cases[] = {
        {u"Calibri,150,0,[BU]", u"Calibri,100,0,[BU]"},    // size clamped to 100
        {u"Arial,12,65280,[IS]", u"Arial,12,65280,[I]"},   // strike-out has no control
        {u"Nowhere Font,9,0,[]", u"Nowhere Font,9,0,[]"},  // a name that is not installed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromStdU16String(c.stored).toStdString());
        editor(1).FFont = font(c.stored);
        editor(1).Apply();
        testing::whenModal<TfrmFontDialog>([](TfrmFontDialog& e) { e.OKBtn->click(); });
        dialog.ButtonClick(1);
        EXPECT_EQ(FontToString(editor(1).FFont), c.confirmed);
    }
}

TEST_F(HeadingsDialogTest, CancellingAnEditorShowsTheOldValuesNextTime) {
    testing::whenModal<TfrmFontDialog>([](TfrmFontDialog& e) {
        e.seSize->setValue(40);
        e.cbBold->setChecked(true);
        EXPECT_TRUE(e.lbPreview->font().bold());
        EXPECT_EQ(e.lbPreview->font().pointSize(), 40);
        e.CancelBtn->click();
    });
    dialog.ButtonClick(2);
    EXPECT_EQ(editor(2).seSize->value(), 20);
    EXPECT_FALSE(editor(2).cbBold->isChecked());
    EXPECT_EQ(FontToString(editor(2).FFont), u"Calibri,20,0,[]");
}

TEST_F(HeadingsDialogTest, ClickingAPreviewLineOpensThatLevelsEditor) {
    QString opened;
    testing::whenModal<TfrmFontDialog>([&opened](TfrmFontDialog& e) {
        opened = e.windowTitle();
        e.cbUnderline->setChecked(true);
        e.OKBtn->click();
    });
    dialog.show();
    dialog.Update();
    QTest::mouseClick(dialog.Preview[7], Qt::LeftButton);
    EXPECT_EQ(opened, "Leve 7");
    EXPECT_TRUE(dialog.Preview[7]->font().underline());
}

}  // namespace
}  // namespace quillet::ui
