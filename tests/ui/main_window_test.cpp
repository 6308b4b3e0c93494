// The main window: stored settings and their fall-back, the enabling and paper rules, the title
// in another language, dropped files, heading fonts, and a whole conversion.

#include "ui/main_window.h"

#include "automation/class_registry.h"
#include "i18n/language.h"
#include "platform/settings_store.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"
#include "ui/headings_dialog.h"
#include "ui/progress_window.h"
#include "ui/register_engines.h"
#include "ui/settings_binding.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QDir>

#include <unistd.h>

#include <QCoreApplication>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

namespace quillet::ui {
namespace {

using testing::RecordingUserInterface;
using testing::ScopedEnv;
using testing::TempDir;

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : m_config("QUILLET_CONFIG_DIR", m_dir.path().string()) { testing::testApp(); }

    SettingsStore store() const { return SettingsStore(); }

    std::unique_ptr<TfrmMain> openWindow() {
        auto window = std::make_unique<TfrmMain>();
        window->setUserInterface(std::make_unique<RecordingUserInterface>(m_messages));
        window->openFile = [this](const QString& path) { m_opened << path; };
        window->showFile = [this](const QString& path) { m_opened << path; };
        return window;
    }

    static QString fixture(const char* name) {
        return QString::fromStdString((testing::fixturesFolder() / name).string());
    }

    TempDir m_dir;
    ScopedEnv m_config;
    std::vector<RecordingUserInterface::Message> m_messages;
    QStringList m_opened;
};

TEST_F(MainWindowTest, FirstStartWritesAndShowsTheDefaults) {
    auto w = openWindow();
    const SettingsStore s = store();
    EXPECT_EQ(s.readString(AppRegistryKey, u"Heading1"), u"Calibri,27,0,[BU]");
    EXPECT_EQ(s.readString(AppRegistryKey, u"Heading9"), u"Calibri,11,0,[]");
    EXPECT_EQ(s.readInteger(AppRegistryKey, u"Left"), 30);
    EXPECT_FALSE(s.valueExists(AppRegistryKey, u"SourceFile"));

    EXPECT_EQ(w->windowTitle(), AppName + " " + AppVersion);
    EXPECT_EQ(w->cbLanguage->count(), 123);
    EXPECT_EQ(w->cbLanguage->itemText(0), "[Automatic]");
    EXPECT_EQ(w->cbPaperSize->currentIndex(), 4);
    EXPECT_FALSE(w->seWidth->isEnabled());
    EXPECT_EQ(w->seShowLevel->value(), 9);
    EXPECT_EQ(w->seLeft->value(), 30);
    EXPECT_EQ(w->edtTableOfContents->text(), "Table of Contents");
    EXPECT_EQ(w->edtHintFormat->text(), "See [Title No.]");
    EXPECT_EQ(w->cbStartNewPage->currentIndex(), 0);
    EXPECT_TRUE(w->rbIntergrate->isChecked());
    EXPECT_TRUE(w->edtSourceFile->text().isEmpty());
    EXPECT_FALSE(w->btnConvert->isEnabled());
    EXPECT_EQ(FontToString(w->HeadingFont[1]), u"Calibri,27,0,[BU]");
}

TEST_F(MainWindowTest, StoredValuesAreRestoredAndClamped) {
    openWindow();  // writes the defaults
    {
        SettingsStore s = store();
        s.writeInteger(AppRegistryKey, u"ShowLevel", 12);
        s.writeInteger(AppRegistryKey, u"Top", -5);
        s.writeInteger(AppRegistryKey, u"PaperSize", 9);
        s.writeBool(AppRegistryKey, u"TitleNumber", false);
        s.writeBool(AppRegistryKey, u"Toc", false);
        s.writeBool(AppRegistryKey, u"Discard", true);
        s.writeInteger(AppRegistryKey, u"StartNewPage", 2);
        s.writeString(AppRegistryKey, u"Heading3", u"Arial,12,255,[I]");
        s.writeString(AppRegistryKey, u"WordFile", u"/nowhere/out.docx");
    }
    auto w = openWindow();
    EXPECT_EQ(w->seShowLevel->value(), 9);
    EXPECT_EQ(w->seTop->value(), 0);
    EXPECT_EQ(w->cbPaperSize->currentIndex(), -1);
    EXPECT_EQ(w->cbStartNewPage->currentIndex(), 2);
    EXPECT_FALSE(w->cbHint->isEnabled());
    EXPECT_FALSE(w->edtHintFormat->isEnabled());
    EXPECT_FALSE(w->seShowLevel->isEnabled());
    EXPECT_TRUE(w->rbDiscard->isChecked());
    EXPECT_FALSE(w->edtAddenda->isEnabled());
    EXPECT_EQ(w->edtPDF->text(), "/nowhere/out.docx");
    EXPECT_EQ(FontToString(w->HeadingFont[3]), u"Arial,12,255,[I]");

    // "载入原始设置" after "放弃": neither radio button is selected, the addenda edit stays off.
    w->Loaddefaultsetting1->trigger();
    EXPECT_FALSE(w->rbDiscard->isChecked());
    EXPECT_FALSE(w->rbIntergrate->isChecked());
    EXPECT_FALSE(w->edtAddenda->isEnabled());
    EXPECT_EQ(w->seShowLevel->value(), 9);
}

TEST_F(MainWindowTest, CustomPaperIsRestoredButStaysDisabled) {
    openWindow();
    {
        SettingsStore s = store();
        s.writeInteger(AppRegistryKey, u"PaperSize", 6);
        s.writeInteger(AppRegistryKey, u"Width", 200);
        s.writeInteger(AppRegistryKey, u"Height", 300);
    }
    auto w = openWindow();
    EXPECT_EQ(w->cbPaperSize->currentIndex(), 6);
    EXPECT_EQ(w->seWidth->value(), 200);
    EXPECT_EQ(w->seHeight->value(), 300);
    EXPECT_FALSE(w->seWidth->isEnabled());

    // The rule runs when the user picks from the list.
    w->cbPaperSize->setCurrentIndex(6);
    emit w->cbPaperSize->activated(6);
    EXPECT_EQ(w->seWidth->value(), 220);
    EXPECT_EQ(w->seHeight->value(), 280);
    EXPECT_TRUE(w->seHeight->isEnabled());
    w->cbPaperSize->setCurrentIndex(0);
    emit w->cbPaperSize->activated(0);
    EXPECT_EQ(w->seWidth->value(), 0);
    EXPECT_FALSE(w->seHeight->isEnabled());
}

TEST_F(MainWindowTest, AnUnreadableValueReplacesEverythingWithTheDefaults) {
    struct Case {
        const char* what;
        std::function<void(SettingsStore&)> spoil;
    };
    const Case cases[] = {
        {"number stored as text",
         [](SettingsStore& s) { s.writeString(AppRegistryKey, u"Top", u"ten"); }},
        {"flag stored as text",
         [](SettingsStore& s) { s.writeString(AppRegistryKey, u"Cover", u"yes"); }},
        {"bad heading",
         [](SettingsStore& s) { s.writeString(AppRegistryKey, u"Heading4", u"Arial,big,0,[]"); }},
        {"text stored as number",
         [](SettingsStore& s) { s.writeInteger(AppRegistryKey, u"Addenda", 3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(SettingsStore::defaultFile());
        openWindow();
        {
            SettingsStore s = store();
            s.writeInteger(AppRegistryKey, u"Left", 10);  // a user's value, lost with the rest
            s.writeString(AppRegistryKey, u"SourceFile", u"/kept/help.chm");
            c.spoil(s);
        }
        auto w = openWindow();
        EXPECT_EQ(w->seLeft->value(), 30);
        EXPECT_EQ(w->seTop->value(), 25);
        EXPECT_EQ(w->edtAddenda->text(), "Addenda");
        EXPECT_EQ(FontToString(w->HeadingFont[4]), u"Calibri,21,0,[]");
        EXPECT_EQ(w->edtSourceFile->text(), "/kept/help.chm");
        EXPECT_EQ(store().readInteger(AppRegistryKey, u"Left"), 30);
    }
}

TEST_F(MainWindowTest, SettingsThatCannotBeSavedGiveTheDefaultsAndOneMessage) {
    namespace fs = std::filesystem;
    const fs::path file = SettingsStore::defaultFile();
    const fs::path blocked = m_dir.path() / "a-file" / "config";
    struct Case {
        const char* what;
        std::function<void()> spoil;
        fs::path configDir;     // instead of the test's own, when given
        bool needsPermissions;  // the superuser writes regardless
    };
    const Case cases[] = {
        {"settings.reg is a folder", [&] { fs::create_directories(file / "inside"); }, {}, false},
        {"its folder cannot be made", [&] { std::ofstream(m_dir.path() / "a-file") << "x"; },
         blocked, false},
        {"damaged in a read-only folder",
         [&] {
             std::ofstream(file) << "Windows Registry Editor Version 5.00\n\n"
                                    "[HKEY_CURRENT_USER\\Software\\Zandrel\\Quillet]\n"
                                    "\"Top\"=\"ten\"\n";
             fs::permissions(m_dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
         },
         {},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsPermissions && ::geteuid() == 0) continue;
        m_messages.clear();
        c.spoil();
        std::optional<ScopedEnv> config;
        if (!c.configDir.empty()) config.emplace("QUILLET_CONFIG_DIR", c.configDir.string());

        auto w = openWindow();
        QCoreApplication::processEvents();
        ASSERT_EQ(m_messages.size(), 1u);
        EXPECT_EQ(m_messages[0].kind, MessageKind::Warning);
        EXPECT_TRUE(m_messages[0].text.starts_with(u"Settings cannot be saved"));
        EXPECT_EQ(w->seLeft->value(), 30);
        EXPECT_EQ(w->seTop->value(), 25);
        EXPECT_EQ(w->edtHintFormat->text(), "See [Title No.]");
        EXPECT_EQ(FontToString(w->HeadingFont[4]), u"Calibri,21,0,[]");

        // Saving later reports what went wrong, and the defaults can still be brought back.
        w->seLeft->setValue(12);
        w->SaveCurrentSettings1->trigger();
        w->Loaddefaultsetting1->trigger();
        EXPECT_EQ(w->seLeft->value(), 30);
        ASSERT_EQ(m_messages.size(), 3u);
        EXPECT_EQ(m_messages[1].kind, MessageKind::Error);
        EXPECT_EQ(m_messages[2].kind, MessageKind::Error);

        fs::permissions(m_dir.path(), fs::perms::owner_all);
        for (const auto& entry : fs::directory_iterator(m_dir.path())) fs::remove_all(entry.path());
    }
}

TEST_F(MainWindowTest, SavedSettingsComeBackInTheNextWindow) {
    {
        auto w = openWindow();
        w->seTop->setValue(12);
        w->cbCover->setChecked(false);
        w->edtHintFormat->setText("见 [标题编号]");
        w->cbStartNewPage->setCurrentIndex(1);
        w->HeadingFont[2].Name = u"DejaVu Serif";
        w->HeadingFont[2].Style.set(FontStyle::StrikeOut);
        w->SaveCurrentSettings1->trigger();
    }
    auto w = openWindow();
    EXPECT_EQ(w->seTop->value(), 12);
    EXPECT_FALSE(w->cbCover->isChecked());
    EXPECT_EQ(w->edtHintFormat->text(), "见 [标题编号]");
    EXPECT_EQ(w->cbStartNewPage->currentIndex(), 1);
    EXPECT_EQ(FontToString(w->HeadingFont[2]), u"DejaVu Serif,25,0,[S]");
}

// Each stored value reaches its own control, is written back from it unchanged, and fills its
// own field of a conversion's settings.
TEST_F(MainWindowTest, EachSettingGoesThroughItsOwnControl) {
    openWindow();  // writes the defaults
    struct Stored {
        const char16_t* name;
        SettingValue value;
    };
    const Stored kStored[] = {
        {u"SourceFile", u"/nowhere/guide.chm"},
        {u"OutputType", 1},
        {u"WordFile", u"/nowhere/guide.docx"},
        {u"PaperSize", 1},
        {u"Height", 301},
        {u"Width", 202},
        {u"Top", 11},
        {u"Bottom", 12},
        {u"Left", 13},
        {u"Right", 14},
        {u"Cover", 0},
        {u"Header", 1},
        {u"Footer", 0},
        {u"Toc", 1},
        {u"ShowLevel", 4},
        {u"TOCCaption", u"Inhalt"},
        {u"TitleNumber", 0},
        {u"AddHint", 1},
        {u"HintFormat", u"siehe [Title No.]"},
        {u"StartNewPage", 2},
        {u"Discard", 1},
        {u"Addenda", u"Anhang"},
        {u"Index", 0},
        {u"Heading1", u"Calibri,27,0,[BU]"},
        {u"Heading3", u"Arial,10,255,[B]"},
        {u"Heading7", u"DejaVu Serif,8,0,[S]"},
    };
    {
        SettingsStore s = store();
        for (const Stored& v : kStored) {
            if (const auto* number = std::get_if<std::int32_t>(&v.value))
                s.writeInteger(AppRegistryKey, v.name, *number);
            else
                s.writeString(AppRegistryKey, v.name, std::get<std::u16string>(v.value));
        }
    }
    auto w = openWindow();
    std::filesystem::remove(SettingsStore::defaultFile());
    w->SaveCurrentSettings1->trigger();
    const SettingsStore saved = store();
    for (const Stored& v : kStored) {
        SCOPED_TRACE(toUtf8(v.name));
        if (const auto* number = std::get_if<std::int32_t>(&v.value))
            EXPECT_EQ(saved.readInteger(AppRegistryKey, v.name), *number);
        else
            EXPECT_EQ(saved.readString(AppRegistryKey, v.name), std::get<std::u16string>(v.value));
    }

    TDocPDFSettings s;
    fillSettings(*w, s);
    EXPECT_EQ(s.PaperSize, 23);
    EXPECT_EQ(s.Height, 301);
    EXPECT_EQ(s.Width, 202);
    EXPECT_EQ(s.Top, 11);
    EXPECT_EQ(s.Bottom, 12);
    EXPECT_EQ(s.Left, 13);
    EXPECT_EQ(s.Right, 14);
    EXPECT_FALSE(s.Cover);
    EXPECT_TRUE(s.Header);
    EXPECT_FALSE(s.Footer);
    EXPECT_TRUE(s.Toc);
    EXPECT_EQ(s.ShowLevel, 4);
    EXPECT_EQ(s.TOCCaption, u"Inhalt");
    EXPECT_FALSE(s.TitleNumber);
    EXPECT_TRUE(s.AddHint);  // checked, though disabled without chapter numbers
    EXPECT_EQ(s.HintFormat, u"siehe [Title No.]");
    EXPECT_EQ(s.StartNewPage, 2);
    EXPECT_TRUE(s.Discard);
    EXPECT_EQ(s.Addenda, u"Anhang");
    EXPECT_FALSE(s.Index);
    EXPECT_EQ(FontToString(s.HeadingFont[1]), u"Calibri,27,0,[BU]");
    EXPECT_EQ(FontToString(s.HeadingFont[3]), u"Arial,10,255,[B]");
    EXPECT_EQ(FontToString(s.HeadingFont[7]), u"DejaVu Serif,8,0,[S]");

    // No paper selected leaves the conversion's paper as it is.
    w->cbPaperSize->setCurrentIndex(-1);
    TDocPDFSettings unchanged;
    fillSettings(*w, unchanged);
    EXPECT_EQ(unchanged.PaperSize, TDocPDFSettings().PaperSize);
}

TEST_F(MainWindowTest, EnablingRulesFollowTheFilesAndChecks) {
    auto w = openWindow();
    const QString help = fixture("nested.chm");
    w->edtSourceFile->setText(help);
    EXPECT_EQ(w->edtTitle->text(), "Test Help");
    EXPECT_EQ(w->edtPDF->text(), help.left(help.size() - 4) + ".doc");
    EXPECT_TRUE(w->btnConvert->isEnabled());
    EXPECT_TRUE(w->Convert1->isEnabled());
    EXPECT_TRUE(w->btnOpenCHM->isEnabled());
    EXPECT_TRUE(w->btnFolderCHM->isEnabled());
    EXPECT_FALSE(w->btnOpenPDF->isEnabled());  // the document does not exist yet

    w->btnFolderCHM->click();
    EXPECT_EQ(m_opened, QStringList{help});

    w->edtPDF->setText("   ");
    EXPECT_FALSE(w->btnConvert->isEnabled());
    EXPECT_FALSE(w->Convert1->isEnabled());
    w->edtPDF->setText(help);  // any existing file
    EXPECT_TRUE(w->btnOpenPDF->isEnabled());

    // A source that names no file: no title, no document, no conversion, and the language list
    // changes nothing.
    w->edtSourceFile->setText(help + "x");
    EXPECT_TRUE(w->edtTitle->text().isEmpty());
    EXPECT_TRUE(w->edtPDF->text().isEmpty());
    w->edtPDF->setText("/tmp/out.docx");
    EXPECT_FALSE(w->btnConvert->isEnabled());
    EXPECT_FALSE(w->btnOpenCHM->isEnabled());
    emit w->cbLanguage->activated(3);
    EXPECT_TRUE(w->edtTitle->text().isEmpty());

    w->cbTOC->setChecked(false);
    EXPECT_FALSE(w->seShowLevel->isEnabled());
    EXPECT_FALSE(w->edtTableOfContents->isEnabled());
    EXPECT_EQ(w->edtTableOfContents->palette().color(QPalette::Disabled, QPalette::Base),
              w->palette().color(QPalette::Active, QPalette::Button));
    w->cbTitleNumber->setChecked(false);
    EXPECT_FALSE(w->cbHint->isEnabled());
    EXPECT_FALSE(w->edtHintFormat->isEnabled());
    w->cbTitleNumber->setChecked(true);
    w->cbHint->setChecked(false);
    EXPECT_FALSE(w->edtHintFormat->isEnabled());
}

// The output list picks the kind of output: the output's name takes its extension, a new help
// file's output name too; a name typed with a kind's extension moves the list to it. The choice
// is kept, and a settings file from before the list loads as it is.
TEST_F(MainWindowTest, TheOutputListChoosesTheKindOfOutput) {
    {
        auto w = openWindow();
        const QString help = fixture("nested.chm");
        const QString stem = help.left(help.size() - 4);
        EXPECT_EQ(w->cbOutputType->currentIndex(), 0);
        w->edtSourceFile->setText(help);
        EXPECT_EQ(w->edtPDF->text(), stem + ".doc");
        w->cbOutputType->setCurrentIndex(2);
        emit w->cbOutputType->activated(2);
        EXPECT_EQ(w->edtPDF->text(), stem + ".pdf");
        w->edtSourceFile->setText(help + "x");
        w->edtSourceFile->setText(help);
        EXPECT_EQ(w->edtPDF->text(), stem + ".pdf");
        w->edtPDF->setText("/tmp/out.DOCX");
        EXPECT_EQ(w->cbOutputType->currentIndex(), 1);
        w->edtPDF->setText("/tmp/out.txt");
        EXPECT_EQ(w->cbOutputType->currentIndex(), 1);  // no kind's extension: the list stays
        w->cbOutputType->setCurrentIndex(2);
        emit w->cbOutputType->activated(2);
        EXPECT_EQ(w->edtPDF->text(), "/tmp/out.pdf");
        w->SaveCurrentSettings1->trigger();
    }
    {
        auto w = openWindow();
        EXPECT_EQ(w->cbOutputType->currentIndex(), 2);
        EXPECT_EQ(w->edtPDF->text(), "/tmp/out.pdf");
    }
    store().writeInteger(AppRegistryKey, u"Top", 12);
    {
        // The settings file as a version without the list wrote it.
        std::ifstream in(SettingsStore::defaultFile());
        std::string kept;
        for (std::string line; std::getline(in, line);)
            if (line.find("OutputType") == std::string::npos) kept += line + "\n";
        in.close();
        std::ofstream(SettingsStore::defaultFile()) << kept;
        ASSERT_FALSE(store().valueExists(AppRegistryKey, u"OutputType"));
    }
    auto w = openWindow();
    EXPECT_EQ(w->seTop->value(), 12) << "the stored settings were replaced by the defaults";
    EXPECT_EQ(w->cbOutputType->currentIndex(), 2) << "the list follows the stored name";
}

TEST_F(MainWindowTest, PickingALanguageDecodesTheTitleAgain) {
    auto w = openWindow();
    w->edtSourceFile->setText(fixture("gbk-title.chm"));
    EXPECT_EQ(w->edtTitle->text(), "测试手册");
    ASSERT_NE(w->ChmInfo, nullptr);
    const int help = w->ChmInfo->CodePage;

    int russian = -1;
    for (int i = 1; i < w->cbLanguage->count(); ++i)
        if (w->cbLanguage->itemText(i).startsWith("Russian")) russian = i;
    ASSERT_GT(russian, 0);
    w->cbLanguage->setCurrentIndex(russian);
    emit w->cbLanguage->activated(russian);
    EXPECT_EQ(w->ChmInfo->CodePage, 1251);
    EXPECT_NE(w->edtTitle->text(), "测试手册");
    EXPECT_EQ(w->edtTitle->text().size(), 8);  // each GBK byte is a Cyrillic letter

    // "[Automatic]": the help file's own code page for the title, the picked one for the job.
    w->cbLanguage->setCurrentIndex(0);
    emit w->cbLanguage->activated(0);
    EXPECT_EQ(w->edtTitle->text(), "测试手册");
    EXPECT_EQ(w->ChmInfo->CodePage, 1251);
    EXPECT_NE(help, 1251);
}

TEST_F(MainWindowTest, DroppedFilesFollowTheDropRule) {
    auto w = openWindow();
    w->dropFiles({"/a/notes.txt", "/a/Guide.CHM", "/a/other.chm"});
    EXPECT_EQ(w->edtSourceFile->text(), "/a/Guide.CHM");
    EXPECT_TRUE(m_messages.empty());

    w->dropFiles({"/a/one.doc", "/a/two.doc"});
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(m_messages[0].text, u"Only accept .chm file!");
    EXPECT_EQ(w->edtSourceFile->text(), "/a/Guide.CHM");
}

// The window in English (any locale but Chinese) and in the given texts (Chinese locales).
TEST_F(MainWindowTest, TheWindowSpeaksTheChosenLanguage) {
    struct Restore {
        ~Restore() { i18n::useLanguage(i18n::Language::Chinese); }
    } restore;
    i18n::useLanguage(i18n::Language::English);
    {
        auto w = openWindow();
        EXPECT_EQ(w->btnConvert->text(), "Convert");
        EXPECT_EQ(w->groupPage->title(), "Page Setup");
        EXPECT_EQ(w->cbPaperSize->itemText(0), "Letter");
        TfrmProgress progress;
        EXPECT_EQ(progress.btnCancel->text(), "Cancel");
    }
    i18n::useLanguage(i18n::Language::Chinese);
    auto w = openWindow();
    EXPECT_EQ(w->btnConvert->text(), "转换");
    EXPECT_EQ(w->groupPage->title(), "页面设置");
}

TEST_F(MainWindowTest, AFileGivenAtStartIsTheSource) {
    auto w = openWindow();
    w->openGivenFile("file:///a/b%20c/Guide.chm");
    EXPECT_EQ(w->edtSourceFile->text(), "/a/b c/Guide.chm");
    w->openGivenFile("shelf/Other.CHM");
    EXPECT_EQ(w->edtSourceFile->text(), QDir::current().absoluteFilePath("shelf/Other.CHM"));
    EXPECT_TRUE(m_messages.empty());
    w->openGivenFile("/a/notes.txt");
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, u"Only accept .chm file!");
}

TEST_F(MainWindowTest, HeadingFontsChangeOnlyWhenTheDialogIsConfirmed) {
    auto w = openWindow();
    for (const bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "确定" : "取消");
        testing::whenModal<TfrmHeadings>([confirm](TfrmHeadings& dialog) {
            EXPECT_EQ(dialog.Preview[1]->text(), "Level1: Calibri");
            testing::whenModal<TfrmFontDialog>([](TfrmFontDialog& editor) {
                editor.cbFontName->setEditText("Not Installed Sans");
                editor.cbItalic->setChecked(true);
                editor.OKBtn->click();
            });
            dialog.Button[5]->click();
            EXPECT_EQ(dialog.Preview[5]->text(), "Level5: Not Installed Sans");
            (confirm ? dialog.OKBtn : dialog.CancelBtn)->click();
        });
        w->btnHeadingStyles->click();
        EXPECT_EQ(FontToString(w->HeadingFont[5]),
                  confirm ? u"Not Installed Sans,19,0,[I]" : u"Calibri,19,0,[]");
    }
}

TEST_F(MainWindowTest, WithoutWordTheConversionStopsWithAMessage) {
    auto w = openWindow();
    w->edtSourceFile->setText(fixture("nested.chm"));
    unregisterClass(u"Word.Application");
    w->btnConvertClick();
    registerEngines();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, MessageKind::Error);
    EXPECT_EQ(m_messages[0].text, u"Microsoft Word 尚未安装。无法继续。");
    EXPECT_EQ(w->Progress, nullptr);
}

TEST_F(MainWindowTest, AWholeConversionWritesTheDocumentAndTheSettings) {
    auto w = openWindow();
    const std::filesystem::path output = m_dir.path() / "nested.docx";
    w->edtSourceFile->setText(fixture("nested.chm"));
    w->edtPDF->setText(QString::fromStdString(output.string()));
    w->seTop->setValue(40);
    w->show();
    QString lastInfo;
    w->onProgressShown = [&lastInfo](TfrmProgress& progress) {
        EXPECT_EQ(progress.btnCancel->text(), "取消");
        auto* poll = new QTimer(&progress);
        QObject::connect(poll, &QTimer::timeout, &progress, [poll, &progress, &lastInfo] {
            if (progress.btnCancel->text() != "关闭") return;
            poll->stop();
            lastInfo = progress.lbInfo->text();
            progress.btnCancel->click();
        });
        poll->start(10);
    };
    QTimer guard;  // a stuck conversion fails the test instead of hanging it
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&w] {
        ADD_FAILURE() << "the conversion did not finish";
        if (w->Progress) w->Progress->reject();
    });
    guard.start(120000);
    w->btnConvert->click();
    guard.stop();

    for (const auto& m : m_messages)
        ADD_FAILURE() << "message: " << std::string(QString::fromStdU16String(m.text).toUtf8());
    EXPECT_EQ(lastInfo, "OK!");
    EXPECT_TRUE(std::filesystem::is_regular_file(output));
    EXPECT_EQ(m_opened, QStringList{QString::fromStdString(output.string())});
    const SettingsStore s = store();
    EXPECT_EQ(s.readString(AppRegistryKey, u"WordFile"),
              QString::fromStdString(output.string()).toStdU16String());
    EXPECT_EQ(s.readInteger(AppRegistryKey, u"Top"), 40);
    EXPECT_TRUE(w->btnOpenPDF->isEnabled());
}

}  // namespace
}  // namespace quillet::ui
