#include "ui/main_window.h"

#include "automation/class_registry.h"
#include "job/output_word.h"
#include "job/paper_sizes.h"
#include "platform/settings_store.h"
#include "platform/temp_files.h"
#include "platform/utf.h"
#include "text/code_pages.h"
#include "text/language_table.h"
#include "ui/desktop.h"
#include "ui/dialog_user_interface.h"
#include "ui/headings_dialog.h"
#include "ui/progress_window.h"
#include "ui/settings_binding.h"
#include "word/word_stage.h"

#include "quillet/version.h"
#include "ui/texts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <utility>

namespace quillet::ui {

const QString AppName = QStringLiteral("Quillet");
const QString AppVersion = QStringLiteral(QUILLET_VERSION);
const std::u16string AppRegistryKey = u"\\Software\\Zandrel\\Quillet";

namespace {

// The paper list's captions, one for each of kPaperSizes, in its order.
constexpr const char* kPaperCaptions[] = {
    QT_TRANSLATE_NOOP("quillet", "信件"),
    QT_TRANSLATE_NOOP("quillet", "小报"),
    QT_TRANSLATE_NOOP("quillet", "法律"),
    "A3",
    "A4",
    "B5",
    QT_TRANSLATE_NOOP("quillet", "自定义大小..."),
};
static_assert(std::size(kPaperCaptions) == kPaperSizes.size());
// The drop rule reads each path into a buffer of 256 characters.
constexpr int kDroppedPathLength = 255;

bool fileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// The path with its extension (from the last dot of the name) replaced, or appended when the
// name has none.
// The kinds of output the output list offers, in its order: the extension, the list's entry and
// the save dialog's filter.
struct OutputType {
    const char* extension;
    const char* entry;
    const char* filter;
};
constexpr OutputType kOutputTypes[] = {
    {".doc", "Word 97-2003 (.doc)", QT_TRANSLATE_NOOP("quillet", "Word 97-2003 文档 (*.doc)")},
    {".docx", "Word (.docx)", QT_TRANSLATE_NOOP("quillet", "Word 文档 (*.docx)")},
    {".pdf", "PDF (.pdf)", QT_TRANSLATE_NOOP("quillet", "PDF 文档 (*.pdf)")},
};

// The index in kOutputTypes of the kind whose extension `path` ends in (any letter case), or -1.
int outputTypeOf(const QString& path) {
    for (int i = 0; i < static_cast<int>(std::size(kOutputTypes)); ++i)
        if (path.endsWith(QLatin1String(kOutputTypes[i].extension), Qt::CaseInsensitive)) return i;
    return -1;
}

QString changeFileExt(const QString& path, const QString& extension) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? path.left(dot) : path) + extension;
}

// Copies `source` over a new temporary file; the temporary path and whether the copy succeeded.
std::pair<std::u16string, bool> copyToTemp(const QString& source) {
    const std::u16string temp = NewTempFileName();
    std::error_code error;
    std::filesystem::copy_file(std::filesystem::path(source.toStdString()),
                               std::filesystem::path(QString::fromStdU16String(temp).toStdString()),
                               std::filesystem::copy_options::overwrite_existing, error);
    return {temp, !error};
}

void removeFile(const std::u16string& path) {
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(QString::fromStdU16String(path).toStdString()),
                            error);
}

QSpinBox* numberBox(int minimum, int maximum, int value) {
    auto* box = new QSpinBox;
    box->setRange(minimum, maximum);
    box->setValue(value);
    return box;
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<DialogUserInterface>(this)) {
    openFile = openWithDefaultHandler;
    showFile = showInFolder;
    setObjectName(QStringLiteral("frmMain"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // Disabled edits and number boxes take the button face, as the rest of the desktop does.
    QPalette colours = palette();
    colours.setColor(QPalette::Disabled, QPalette::Base,
                     colours.color(QPalette::Active, QPalette::Button));
    setPalette(colours);

    // Start-up: drops, caption, languages, the paper rule for A4, the fonts, the stored settings.
    setAcceptDrops(true);
    setWindowTitle(AppName + QLatin1Char(' ') + AppVersion);
    buildControls();
    buildMenus();
    cbLanguage->addItem(QStringLiteral("[Automatic]"));
    const TLanguages& languages = LanguageTable();
    for (int i = 0; i < languages.GetCount(); ++i)
        cbLanguage->addItem(QString::fromStdU16String(languages.GetItem(i).Name));
    cbLanguage->setCurrentIndex(0);
    cbPaperSizeChange();
    const TDocPDFSettings defaults;
    for (int level = 1; level <= 9; ++level) HeadingFont[level] = defaults.HeadingFont[level];
    connectHandlers();
    LoadSettings();
    Action1Update();

    // The enabling rules also follow files that appear or vanish on disk.
    m_idle = new QTimer(this);
    m_idle->setInterval(300);
    connect(m_idle, &QTimer::timeout, this, &TfrmMain::Action1Update);
    m_idle->start();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::buildControls() {
    auto* client = new QWidget;
    client->setFixedSize(648, 488);
    setCentralWidget(client);
    auto* page = new QVBoxLayout(client);
    page->setContentsMargins(12, 10, 12, 10);

    // The files, the title and the language.
    auto* files = new QGridLayout;
    Label1 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "CHM 文件:")));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    edtSourceFile = new QLineEdit;
    Button7 = new QPushButton(QStringLiteral(".."));
    btnOpenCHM = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "查看")));
    btnFolderCHM = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "文件夹")));
    Label2 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "Word 文档:")));
    edtPDF = new QLineEdit;
    Button1 = new QPushButton(QStringLiteral(".."));
    btnOpenPDF = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "查看")));
    btnFolderPDF = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "文件夹")));
    for (QPushButton* small : {Button7, Button1}) small->setFixedWidth(32);
    files->addWidget(Label1, 0, 0);
    files->addWidget(edtSourceFile, 0, 1, 1, 3);
    files->addWidget(Button7, 0, 4);
    files->addWidget(btnOpenCHM, 0, 5);
    files->addWidget(btnFolderCHM, 0, 6);
    files->addWidget(Label2, 1, 0);
    cbOutputType = new QComboBox;
    for (const OutputType& type : kOutputTypes)
        cbOutputType->addItem(QString::fromUtf8(type.entry));
    files->addWidget(edtPDF, 1, 1, 1, 2);
    files->addWidget(cbOutputType, 1, 3);
    files->addWidget(Button1, 1, 4);
    files->addWidget(btnOpenPDF, 1, 5);
    files->addWidget(btnFolderPDF, 1, 6);
    Label11 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "文档标题:")));
    edtTitle = new QLineEdit;
    Label12 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "语言:")));
    cbLanguage = new QComboBox;
    cbLanguage->setMaxVisibleItems(20);
    files->addWidget(Label11, 2, 0);
    files->addWidget(edtTitle, 2, 1);
    files->addWidget(Label12, 2, 2);
    files->addWidget(cbLanguage, 2, 3, 1, 4);
    files->setColumnStretch(1, 3);
    files->setColumnStretch(3, 2);
    page->addLayout(files);

    // Page setup.
    groupPage = new QGroupBox(qtr(QT_TRANSLATE_NOOP("quillet", "页面设置")));
    auto* paper = new QGridLayout(groupPage);
    Label3 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "纸张大小:")));
    cbPaperSize = new QComboBox;
    for (const char* caption : kPaperCaptions) cbPaperSize->addItem(qtr(caption));
    cbPaperSize->setCurrentIndex(paperIndex(kPaperA4));
    Label4 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "高度:")));
    seHeight = numberBox(0, 9999, 0);
    Label5 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "宽度:")));
    seWidth = numberBox(0, 9999, 0);
    Label6 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "边距 (mm):")));
    Label7 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "顶部:")));
    seTop = numberBox(0, 999, 25);
    Label8 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "底部:")));
    seBottom = numberBox(0, 999, 25);
    Label9 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "左侧:")));
    seLeft = numberBox(0, 999, 31);
    Label10 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "右侧:")));
    seRight = numberBox(0, 999, 31);
    paper->addWidget(Label3, 0, 0);
    paper->addWidget(cbPaperSize, 0, 1, 1, 3);
    paper->addWidget(Label4, 1, 0);
    paper->addWidget(seHeight, 1, 1);
    paper->addWidget(Label5, 1, 2);
    paper->addWidget(seWidth, 1, 3);
    paper->addWidget(Label6, 2, 0, 1, 4);
    paper->addWidget(Label7, 3, 0);
    paper->addWidget(seTop, 3, 1);
    paper->addWidget(Label8, 3, 2);
    paper->addWidget(seBottom, 3, 3);
    paper->addWidget(Label9, 4, 0);
    paper->addWidget(seLeft, 4, 1);
    paper->addWidget(Label10, 4, 2);
    paper->addWidget(seRight, 4, 3);

    // Topics outside the contents.
    groupTopics = new QGroupBox(qtr(QT_TRANSLATE_NOOP("quillet", "主题")));
    auto* topics = new QGridLayout(groupTopics);
    rbDiscard = new QRadioButton(qtr(QT_TRANSLATE_NOOP("quillet", "放弃")));
    rbIntergrate = new QRadioButton(qtr(QT_TRANSLATE_NOOP("quillet", "融入到")));
    rbIntergrate->setChecked(true);
    lbAddenda = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "标题:")));
    edtAddenda = new QLineEdit(qtr(QT_TRANSLATE_NOOP("quillet", "附录")));
    topics->addWidget(rbDiscard, 0, 0);
    topics->addWidget(rbIntergrate, 0, 1);
    topics->addWidget(lbAddenda, 1, 0);
    topics->addWidget(edtAddenda, 1, 1);
    cbLinkedHelp = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "读取链接的其他帮助文件")));
    cbLinkedHelp->setChecked(true);
    cbLinkedHelp->setToolTip(qtr(QT_TRANSLATE_NOOP(
        "quillet", "页面链接到同一文件夹中的其他帮助文件时（ms-its:other.chm::），将其页面一并转换")));
    topics->addWidget(cbLinkedHelp, 2, 0, 1, 2);

    // Document elements.
    groupElements = new QGroupBox(qtr(QT_TRANSLATE_NOOP("quillet", "元素")));
    auto* elements = new QGridLayout(groupElements);
    cbCover = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "封面")));
    cbHeader = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "标头")));
    cbFooter = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "页脚")));
    cbTOC = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "目录")));
    for (QCheckBox* box : {cbCover, cbHeader, cbFooter, cbTOC}) box->setChecked(true);
    lbShowLevel = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "显示级别:")));
    seShowLevel = numberBox(1, 9, 3);
    lbTOC = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "标题:")));
    edtTableOfContents = new QLineEdit(qtr(QT_TRANSLATE_NOOP("quillet", "目录")));
    elements->addWidget(cbCover, 0, 0);
    elements->addWidget(cbHeader, 0, 1);
    elements->addWidget(cbFooter, 0, 2);
    elements->addWidget(cbTOC, 1, 0);
    elements->addWidget(lbShowLevel, 1, 1);
    elements->addWidget(seShowLevel, 1, 2);
    elements->addWidget(lbTOC, 2, 0);
    elements->addWidget(edtTableOfContents, 2, 1, 1, 2);
    cbIndex = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "索引")));
    cbIndex->setChecked(true);
    cbIndex->setToolTip(qtr(QT_TRANSLATE_NOOP(
        "quillet", "帮助文件有索引文件（.hhk）时，在文档末尾用其关键字建立索引")));
    elements->addWidget(cbIndex, 3, 0, 1, 3);

    // Enhancements.
    groupEnhance = new QGroupBox(qtr(QT_TRANSLATE_NOOP("quillet", "增强")));
    auto* enhance = new QGridLayout(groupEnhance);
    cbTitleNumber = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "添加标题号码")));
    cbHint = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "超链接后添加提示")));
    for (QCheckBox* box : {cbTitleNumber, cbHint}) box->setChecked(true);
    lbHintFormat = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "提示格式:")));
    edtHintFormat = new QLineEdit(qtr(QT_TRANSLATE_NOOP("quillet", "看见 [标题编号]")));
    Label18 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "开始新的一页:")));
    cbStartNewPage = new QComboBox;
    cbStartNewPage->addItems({qtr(QT_TRANSLATE_NOOP("quillet", "连续")),
                              qtr(QT_TRANSLATE_NOOP("quillet", "用于第一级主题")),
                              qtr(QT_TRANSLATE_NOOP("quillet", "用于每一个主题"))});
    cbStartNewPage->setCurrentIndex(-1);
    enhance->addWidget(cbTitleNumber, 0, 0, 1, 2);
    enhance->addWidget(cbHint, 1, 0, 1, 2);
    enhance->addWidget(lbHintFormat, 2, 0);
    enhance->addWidget(edtHintFormat, 2, 1);
    enhance->addWidget(Label18, 3, 0);
    enhance->addWidget(cbStartNewPage, 3, 1);

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(groupPage);
    left->addWidget(groupTopics);
    auto* right = new QVBoxLayout;
    right->addWidget(groupElements);
    right->addWidget(groupEnhance);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    page->addLayout(columns);
    page->addStretch();

    auto* buttons = new QHBoxLayout;
    btnHeadingStyles = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "标题样式..")));
    btnConvert = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "转换")));
    btnConvert->setDefault(true);
    btnConvert->setMinimumWidth(100);
    buttons->addWidget(btnHeadingStyles);
    buttons->addStretch();
    buttons->addWidget(btnConvert);
    page->addLayout(buttons);

    const std::pair<QWidget*, const char*> names[] = {{Label1, "Label1"},
                                                      {edtSourceFile, "edtSourceFile"},
                                                      {Button7, "Button7"},
                                                      {btnOpenCHM, "btnOpenCHM"},
                                                      {btnFolderCHM, "btnFolderCHM"},
                                                      {edtPDF, "edtPDF"},
                                                      {cbOutputType, "cbOutputType"},
                                                      {Button1, "Button1"},
                                                      {btnOpenPDF, "btnOpenPDF"},
                                                      {btnFolderPDF, "btnFolderPDF"},
                                                      {edtTitle, "edtTitle"},
                                                      {cbLanguage, "cbLanguage"},
                                                      {cbPaperSize, "cbPaperSize"},
                                                      {seHeight, "seHeight"},
                                                      {seWidth, "seWidth"},
                                                      {seTop, "seTop"},
                                                      {seBottom, "seBottom"},
                                                      {seLeft, "seLeft"},
                                                      {seRight, "seRight"},
                                                      {cbTOC, "cbTOC"},
                                                      {seShowLevel, "seShowLevel"},
                                                      {edtTableOfContents, "edtTableOfContents"},
                                                      {cbHint, "cbHint"},
                                                      {edtHintFormat, "edtHintFormat"},
                                                      {cbStartNewPage, "cbStartNewPage"},
                                                      {rbDiscard, "rbDiscard"},
                                                      {rbIntergrate, "rbIntergrate"},
                                                      {edtAddenda, "edtAddenda"},
                                                      {cbLinkedHelp, "cbLinkedHelp"},
                                                      {cbIndex, "cbIndex"},
                                                      {btnConvert, "btnConvert"}};
    for (const auto& [widget, name] : names) widget->setObjectName(QString::fromLatin1(name));
}

void TfrmMain::buildMenus() {
    QMenu* project = menuBar()->addMenu(qtr(QT_TRANSLATE_NOOP("quillet", "项目(&P)")));
    SaveCurrentSettings1 = project->addAction(qtr(QT_TRANSLATE_NOOP("quillet", "保存当前设置")));
    Loaddefaultsetting1 = project->addAction(qtr(QT_TRANSLATE_NOOP("quillet", "载入原始设置")));
    project->addSeparator();
    Convert1 = project->addAction(qtr(QT_TRANSLATE_NOOP("quillet", "转换...")));
    project->addSeparator();
    Exit1 = project->addAction(qtr(QT_TRANSLATE_NOOP("quillet", "退出")));
    QMenu* about = menuBar()->addMenu(qtr(QT_TRANSLATE_NOOP("quillet", "关于(&A)")));
    Help1 = about->addAction(qtr(QT_TRANSLATE_NOOP("quillet", "帮助")));
    about->addSeparator();
    About2 = about->addAction(qtr(QT_TRANSLATE_NOOP("quillet", "关于")));
}

void TfrmMain::connectHandlers() {
    connect(edtSourceFile, &QLineEdit::textChanged, this, &TfrmMain::edtSourceFileChange);
    connect(Button7, &QPushButton::clicked, this, &TfrmMain::Button7Click);
    connect(Button1, &QPushButton::clicked, this, &TfrmMain::Button1Click);
    connect(cbOutputType, &QComboBox::activated, this, &TfrmMain::cbOutputTypeChange);
    connect(edtPDF, &QLineEdit::textChanged, this, &TfrmMain::edtPDFChange);
    connect(btnOpenCHM, &QPushButton::clicked, this, [this] { openFile(edtSourceFile->text()); });
    connect(btnOpenPDF, &QPushButton::clicked, this, [this] { openFile(edtPDF->text()); });
    connect(btnFolderCHM, &QPushButton::clicked, this, [this] { showFile(edtSourceFile->text()); });
    connect(btnFolderPDF, &QPushButton::clicked, this, [this] { showFile(edtPDF->text()); });
    connect(cbLanguage, &QComboBox::activated, this, &TfrmMain::cbLanguageChange);
    connect(cbPaperSize, &QComboBox::activated, this, &TfrmMain::cbPaperSizeChange);
    connect(cbTOC, &QCheckBox::toggled, this, &TfrmMain::cbTOCClick);
    connect(cbTitleNumber, &QCheckBox::toggled, this, &TfrmMain::cbTitleNumberClick);
    connect(rbDiscard, &QRadioButton::clicked, this, &TfrmMain::rbDiscardClick);
    connect(rbIntergrate, &QRadioButton::clicked, this, &TfrmMain::rbDiscardClick);
    connect(btnHeadingStyles, &QPushButton::clicked, this, &TfrmMain::btnHeadingStylesClick);
    connect(btnConvert, &QPushButton::clicked, this, &TfrmMain::btnConvertClick);
    connect(Convert1, &QAction::triggered, this, &TfrmMain::btnConvertClick);
    connect(SaveCurrentSettings1, &QAction::triggered, this, &TfrmMain::saveSettingsReporting);
    connect(Loaddefaultsetting1, &QAction::triggered, this, &TfrmMain::loadDefaultsReporting);
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    connect(Help1, &QAction::triggered, this, &TfrmMain::Help1Click);
    connect(About2, &QAction::triggered, this,
            [this] { QMessageBox::about(this, AppName, AppName + QLatin1Char(' ') + AppVersion); });
    // The enabling rules, at once on every change that can affect them.
    for (QLineEdit* edit : {edtSourceFile, edtPDF})
        connect(edit, &QLineEdit::textChanged, this, &TfrmMain::Action1Update);
    for (QCheckBox* box : {cbHint, cbTitleNumber})
        connect(box, &QCheckBox::toggled, this, &TfrmMain::Action1Update);
}

// ---- Settings ----

void TfrmMain::WriteDefaultSettings() {
    SettingsStore store;
    writeDefaultSettings(store);
}

void TfrmMain::LoadSettings() {
    try {
        showSettings(SettingsSource(SettingsStore(), false), *this, false);
        return;
    } catch (const std::exception&) {
        // A missing or mistyped value: the whole default set replaces what is stored.
    }
    try {
        WriteDefaultSettings();
    } catch (const SettingsError& e) {
        // Nothing can be stored: the window starts with the defaults all the same, and says so
        // once the event loop runs and the window can be seen.
        showSettings(SettingsSource(SettingsStore(), true), *this, true);
        m_settingsUnsaved = true;
        const std::u16string text =
            u"Settings cannot be saved, so Quillet starts with the "
            u"default settings and will not keep changes to them (" +
            fromUtf8(e.what()) + u").";
        QTimer::singleShot(0, this,
                           [this, text] { m_ui->showMessage(MessageKind::Warning, text); });
        return;
    }
    showSettings(SettingsSource(SettingsStore(), false), *this, true);
}

void TfrmMain::SaveSettings() {
    SettingsStore store;
    storeSettings(*this, store, true);
}

void TfrmMain::saveSettingsReporting() {
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        m_ui->showMessage(MessageKind::Error, fromUtf8(e.what()));
    }
}

void TfrmMain::loadDefaultsReporting() {
    try {
        WriteDefaultSettings();
        LoadSettings();
    } catch (const std::exception& e) {
        // The defaults are shown all the same; only keeping them failed.
        showSettings(SettingsSource(SettingsStore(), true), *this, true);
        m_ui->showMessage(MessageKind::Error, fromUtf8(e.what()));
    }
}

// ---- Rules ----

void TfrmMain::edtSourceFileChange() {
    ChmInfo.reset();
    const QString source = edtSourceFile->text();
    if (!fileExists(source)) {
        edtTitle->clear();
        edtPDF->clear();
        return;
    }
    std::u16string temp;
    bool copied = false;
    try {
        std::tie(temp, copied) = copyToTemp(source);
    } catch (const std::exception&) {
        // No temporary file: the project reads nothing and the title stays empty.
    }
    ChmInfo = std::make_unique<TCHMDecompile>();
    if (!temp.empty()) {
        try {
            ChmInfo->LoadFromCHM(temp);
            // A help file without a title record is titled by its file's name.
            if (ChmInfo->Title.empty())
                ChmInfo->Title = QFileInfo(source).completeBaseName().toStdU16String();
        } catch (const std::exception&) {
            // Not a help file this program can read: it simply has no title.
        }
    }
    edtTitle->setText(QString::fromStdU16String(ChmInfo->Title));
    const int type = std::max(cbOutputType->currentIndex(), 0);
    edtPDF->setText(changeFileExt(source, QLatin1String(kOutputTypes[type].extension)));
    cbLanguage->setCurrentIndex(0);
    if (copied) removeFile(temp);
}

void TfrmMain::cbLanguageChange(int index) {
    // Without a help file there is no title to decode.
    if (!ChmInfo) return;
    if (index <= 0) {
        ChmInfo->Title = DecodeCodePage(ChmInfo->rTitle, ChmInfo->rCodePage);
    } else {
        const int codePage = LanguageTable().GetItem(index - 1).CodePage;
        ChmInfo->CodePage = codePage;
        ChmInfo->Title = DecodeCodePage(ChmInfo->rTitle, codePage);
    }
    edtTitle->setText(QString::fromStdU16String(ChmInfo->Title));
}

void TfrmMain::cbPaperSizeChange() {
    const int index = cbPaperSize->currentIndex();
    const bool custom = index == paperIndex(kPaperCustom);
    seWidth->setValue(custom ? kPaperSizes[static_cast<std::size_t>(index)].width : 0);
    seHeight->setValue(custom ? kPaperSizes[static_cast<std::size_t>(index)].height : 0);
    seWidth->setEnabled(custom);
    seHeight->setEnabled(custom);
}

void TfrmMain::cbTOCClick() {
    const bool on = cbTOC->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{seShowLevel, lbShowLevel, edtTableOfContents, lbTOC})
        w->setEnabled(on);
}

void TfrmMain::cbTitleNumberClick() {
    cbHint->setEnabled(cbTitleNumber->isChecked());
}

void TfrmMain::rbDiscardClick() {
    const bool integrate = !rbDiscard->isChecked();
    lbAddenda->setEnabled(integrate);
    edtAddenda->setEnabled(integrate);
}

void TfrmMain::Action1Update() {
    const bool hint = cbHint->isChecked() && cbHint->isEnabled();
    lbHintFormat->setEnabled(hint);
    edtHintFormat->setEnabled(hint);
    // A conversion needs the help file's project: without one the button stays disabled.
    const bool convert = !edtSourceFile->text().trimmed().isEmpty() &&
                         !edtPDF->text().trimmed().isEmpty() && ChmInfo != nullptr;
    btnConvert->setEnabled(convert);
    Convert1->setEnabled(convert);
    const bool source = fileExists(edtSourceFile->text());
    btnOpenCHM->setEnabled(source);
    btnFolderCHM->setEnabled(source);
    const bool output = fileExists(edtPDF->text());
    btnOpenPDF->setEnabled(output);
    btnFolderPDF->setEnabled(output);
}

// ---- Dialogs ----

void TfrmMain::Button7Click() {
    const QFileInfo current(edtSourceFile->text());
    const QString folder = edtSourceFile->text().isEmpty() ? m_openFolder : current.absolutePath();
    const QString start =
        folder.isEmpty() ? current.fileName() : QDir(folder).filePath(current.fileName());
    const QString chosen =
        QFileDialog::getOpenFileName(this, qtr(QT_TRANSLATE_NOOP("quillet", "选择 CHM 文件转换")),
                                     start, qtr(QT_TRANSLATE_NOOP("quillet", "CHM 文件 (*.chm)")));
    if (chosen.isEmpty()) return;
    edtSourceFile->setText(chosen);
    m_openFolder = QFileInfo(chosen).absolutePath();
}

void TfrmMain::cbOutputTypeChange(int index) {
    if (index < 0 || edtPDF->text().trimmed().isEmpty()) return;
    edtPDF->setText(changeFileExt(edtPDF->text(), QLatin1String(kOutputTypes[index].extension)));
}

void TfrmMain::edtPDFChange() {
    if (const int type = outputTypeOf(edtPDF->text()); type >= 0)
        cbOutputType->setCurrentIndex(type);
}

void TfrmMain::Button1Click() {
    QStringList filters;
    for (const OutputType& type : kOutputTypes) filters << qtr(type.filter);
    QFileDialog dialog(this, qtr(QT_TRANSLATE_NOOP("quillet", "转换到")), edtPDF->text());
    dialog.setNameFilters(filters);
    const int type = std::max(cbOutputType->currentIndex(), 0);
    dialog.selectNameFilter(filters[type]);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without an extension takes that of the kind the filter shows.
    const auto suffixOf = [](int index) {
        return QLatin1String(kOutputTypes[index].extension).mid(1);
    };
    dialog.setDefaultSuffix(suffixOf(type));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        if (const int chosen = static_cast<int>(filters.indexOf(filter)); chosen >= 0)
            dialog.setDefaultSuffix(suffixOf(chosen));
    });
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    edtPDF->setText(dialog.selectedFiles().constFirst());
}

void TfrmMain::Help1Click() {
    openFile(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("brevalt.chm")));
}

void TfrmMain::btnHeadingStylesClick() {
    TfrmHeadings headings(this);
    for (int level = 1; level <= 9; ++level) {
        TfrmFontDialog* editor = headings.FontDialog[static_cast<std::size_t>(level)];
        editor->FFont = HeadingFont[level];
        editor->Apply();
    }
    headings.Update();
    if (headings.exec() != QDialog::Accepted) return;
    for (int level = 1; level <= 9; ++level)
        HeadingFont[level] = headings.FontDialog[static_cast<std::size_t>(level)]->FFont;
}

// ---- Conversion ----

void TfrmMain::btnConvertClick() {
    if (!IsWordInstalled()) {
        m_ui->showMessage(
            MessageKind::Error,
            tr16(QT_TRANSLATE_NOOP("quillet", "Microsoft Word 尚未安装。无法继续。")));
        return;
    }
    if (!ChmInfo) {
        m_ui->showMessage(MessageKind::Warning, u"\"" + edtSourceFile->text().toStdU16String() +
                                                    u"\": there is no such help file.");
        return;
    }
    delete Progress;
    Progress = new TfrmProgress(this);

    std::u16string temp;
    bool copied = false;
    try {
        std::tie(temp, copied) = copyToTemp(edtSourceFile->text());
    } catch (const std::exception& e) {
        m_ui->showMessage(MessageKind::Error, fromUtf8(e.what()));
        return;
    }

    auto worker = std::make_unique<TOutputWord>(true, *m_ui);
    TOutputWord* job = worker.get();
    TChmToDocPDF& conversion = *job->BrevaltPDF;
    job->chm = temp;
    conversion.pdf = edtPDF->text().toStdU16String();
    conversion.Title = edtTitle->text().toStdU16String();
    conversion.CodePage = ChmInfo->CodePage;
    conversion.OriginalFile = QFileInfo(edtSourceFile->text()).absoluteFilePath().toStdU16String();
    // The finished document opens with the desktop's handler, on the main thread.
    WordStageOptions stageOptions;
    stageOptions.openDocument = [this, job](const std::u16string& document) {
        job->Synchronize([this, &document] { openFile(QString::fromStdU16String(document)); });
    };
    conversion.setWordStage(wordStage(stageOptions));

    fillSettings(*this, *conversion.Settings);

    Progress->OutputWord = std::move(worker);
    if (onProgressShown) {
        TfrmProgress* shown = Progress;
        QTimer::singleShot(0, shown, [this, shown] { onProgressShown(*shown); });
    }
    Progress->exec();

    try {
        // Everything but the heading fonts, which only "保存当前设置" keeps.
        SettingsStore store;
        storeSettings(*this, store, false);
    } catch (const std::exception& e) {
        // The user was told at the start when the settings cannot be saved at all.
        if (!m_settingsUnsaved) m_ui->showMessage(MessageKind::Error, fromUtf8(e.what()));
    }
    if (copied) removeFile(temp);
    Action1Update();
}

// ---- Dropped files ----

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    dropFiles(paths);
}

void TfrmMain::openGivenFile(const QString& given) {
    const QUrl url(given);
    const QString path = url.isLocalFile() ? url.toLocalFile() : given;
    dropFiles({QFileInfo(path).absoluteFilePath()});
}

void TfrmMain::dropFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        const QString used = path.left(kDroppedPathLength);
        if (used.endsWith(QStringLiteral(".chm"), Qt::CaseInsensitive)) {
            edtSourceFile->setText(used);
            return;
        }
    }
    m_ui->showMessage(MessageKind::Warning, u"Only accept .chm file!");
}

}  // namespace quillet::ui
