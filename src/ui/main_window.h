// The main window: the help file and Word document to convert, the document title and language,
// every conversion setting (kept in the settings store under AppRegistryKey), the heading fonts
// and the start of a conversion behind the progress window.
#pragma once

#include "job/doc_settings.h"
#include "platform/user_interface.h"
#include "project/chm_decompile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include <functional>
#include <memory>

namespace quillet::ui {

class TfrmProgress;

extern const QString AppName;
extern const QString AppVersion;
extern const std::u16string AppRegistryKey;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    QLabel* Label1;
    QLineEdit* edtSourceFile;
    QPushButton* Button7;
    QPushButton* btnOpenCHM;
    QPushButton* btnFolderCHM;
    QLabel* Label2;
    QLineEdit* edtPDF;
    QComboBox* cbOutputType;  // the output's kind, by kOutputTypes: .doc, .docx or PDF
    QPushButton* Button1;
    QPushButton* btnOpenPDF;
    QPushButton* btnFolderPDF;
    QLabel* Label11;
    QLineEdit* edtTitle;
    QLabel* Label12;
    QComboBox* cbLanguage;

    QGroupBox* groupPage;
    QLabel* Label3;
    QComboBox* cbPaperSize;
    QLabel* Label4;
    QSpinBox* seHeight;
    QLabel* Label5;
    QSpinBox* seWidth;
    QLabel* Label6;
    QLabel* Label7;
    QSpinBox* seTop;
    QLabel* Label8;
    QSpinBox* seBottom;
    QLabel* Label9;
    QSpinBox* seLeft;
    QLabel* Label10;
    QSpinBox* seRight;

    QGroupBox* groupElements;
    QCheckBox* cbCover;
    QCheckBox* cbHeader;
    QCheckBox* cbFooter;
    QCheckBox* cbTOC;
    QLabel* lbShowLevel;
    QSpinBox* seShowLevel;
    QLabel* lbTOC;
    QLineEdit* edtTableOfContents;

    QGroupBox* groupEnhance;
    QCheckBox* cbTitleNumber;
    QCheckBox* cbHint;
    QLabel* lbHintFormat;
    QLineEdit* edtHintFormat;
    QLabel* Label18;
    QComboBox* cbStartNewPage;

    QGroupBox* groupTopics;
    QRadioButton* rbDiscard;
    QCheckBox* cbLinkedHelp;
    QCheckBox* cbIndex;
    QRadioButton* rbIntergrate;
    QLabel* lbAddenda;
    QLineEdit* edtAddenda;

    QPushButton* btnHeadingStyles;
    QPushButton* btnConvert;

    QAction* SaveCurrentSettings1;
    QAction* Loaddefaultsetting1;
    QAction* Convert1;
    QAction* Exit1;
    QAction* Help1;
    QAction* About2;

    // The progress window of the last conversion, owned by this window.
    TfrmProgress* Progress = nullptr;
    // The heading fonts as the user set them, levels 1..9.
    HeadingFonts HeadingFont;
    // What is known of the help file named in edtSourceFile; null while it names no file.
    std::unique_ptr<TCHMDecompile> ChmInfo;

    // The desktop's handlers; tests put recorders here.
    std::function<void(const QString& path)> openFile;
    std::function<void(const QString& path)> showFile;
    // Where message boxes and the job's questions go; dialogs by default.
    void setUserInterface(std::unique_ptr<UserInterface> ui) { m_ui = std::move(ui); }
    // Runs once the progress window of a conversion is shown; the tests and the screenshot
    // option drive the modal window from here.
    std::function<void(TfrmProgress& progress)> onProgressShown;

    void WriteDefaultSettings();
    // Shows the stored settings. When a value is missing or mistyped, the defaults replace what
    // is stored; when they cannot be stored (an unwritable folder, a folder named settings.reg),
    // the window shows them all the same and says once, when the event loop runs, that settings
    // cannot be saved.
    void LoadSettings();
    void SaveSettings();

    void edtSourceFileChange();
    void cbLanguageChange(int index);
    void cbPaperSizeChange();
    void cbTOCClick();
    void cbTitleNumberClick();
    void rbDiscardClick();
    void Action1Update();
    void btnHeadingStylesClick();
    void btnConvertClick();
    void Button7Click();
    void Button1Click();
    // The output list as the user picks from it: the output's name takes the kind's extension.
    void cbOutputTypeChange(int index);
    // The output list follows the output's name when it ends in a kind's extension.
    void edtPDFChange();
    void Help1Click();
    // The drop rule: the first path ending in ".chm" (any letter case) becomes the source file.
    void dropFiles(const QStringList& paths);
    // A help file the program is started with (quillet-gui FILE.chm, as a file manager's "Open
    // with" starts it) or asked to open while it runs: a path, relative to the current folder, or
    // a file: URL, taken as a drop is.
    void openGivenFile(const QString& given);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void connectHandlers();
    void saveSettingsReporting();
    void loadDefaultsReporting();

    std::unique_ptr<UserInterface> m_ui;
    // The settings could not be saved when the window started, and the user was told so.
    bool m_settingsUnsaved = false;
    QString m_openFolder;
    QTimer* m_idle;
};

}  // namespace quillet::ui
