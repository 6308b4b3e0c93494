#include "ui/font_dialog.h"
#include "ui/texts.h"

#include <QColorDialog>
#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>

namespace quillet::ui {

QColor toQColor(std::int32_t color, const QPalette& palette) {
    if (color < 0) return palette.color(QPalette::WindowText);
    const auto bgr = static_cast<std::uint32_t>(color);
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

std::int32_t fromQColor(const QColor& color) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(color.red()) |
                                     (static_cast<std::uint32_t>(color.green()) << 8) |
                                     (static_cast<std::uint32_t>(color.blue()) << 16));
}

QFont toQFont(const TFont& font) {
    QFont q(QString::fromStdU16String(font.Name));
    if (font.Size > 0) q.setPointSize(font.Size);
    q.setBold(font.Style.has(FontStyle::Bold));
    q.setItalic(font.Style.has(FontStyle::Italic));
    q.setUnderline(font.Style.has(FontStyle::Underline));
    q.setStrikeOut(font.Style.has(FontStyle::StrikeOut));
    return q;
}

ColorChooser::ColorChooser(QWidget* parent) : QComboBox(parent) {
    addItem(QString());
    addItem(QStringLiteral("..."));
    connect(this, &QComboBox::activated, this, &ColorChooser::pick);
    setColor(0);
}

void ColorChooser::setColor(std::int32_t color) {
    m_color = color;
    const QColor shown = toQColor(color, palette());
    QPixmap swatch(16, 12);
    swatch.fill(shown);
    setItemIcon(0, QIcon(swatch));
    setItemText(0, color < 0 ? QStringLiteral("System") : shown.name(QColor::HexRgb).toUpper());
    setCurrentIndex(0);
    emit colorChanged();
}

void ColorChooser::pick(int index) {
    if (index != 1) return;
    const QColor chosen = QColorDialog::getColor(toQColor(m_color, palette()), this);
    if (chosen.isValid())
        setColor(fromQColor(chosen));
    else
        setCurrentIndex(0);
}

TfrmFontDialog::TfrmFontDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmFontDialog"));
    setFixedSize(404, 301);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    Label1 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "字体名称:")), this);
    Label1->setGeometry(16, 16, 80, 22);
    cbFontName = new QComboBox(this);
    cbFontName->setEditable(true);
    cbFontName->setInsertPolicy(QComboBox::NoInsert);
    cbFontName->addItems(QFontDatabase::families());
    cbFontName->setGeometry(100, 14, 288, 24);

    Label2 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "大小:")), this);
    Label2->setGeometry(16, 50, 80, 22);
    seSize = new QSpinBox(this);
    seSize->setRange(1, 100);
    seSize->setGeometry(100, 48, 80, 24);

    Label3 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "颜色:")), this);
    Label3->setGeometry(196, 50, 48, 22);
    cbColor = new ColorChooser(this);
    cbColor->setGeometry(248, 48, 140, 24);

    GroupBox1 = new QGroupBox(qtr(QT_TRANSLATE_NOOP("quillet", "样式")), this);
    GroupBox1->setGeometry(16, 84, 372, 52);
    cbBold = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "粗体")), GroupBox1);
    cbBold->setGeometry(16, 22, 100, 22);
    cbItalic = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "斜体")), GroupBox1);
    cbItalic->setGeometry(136, 22, 100, 22);
    cbUnderline = new QCheckBox(qtr(QT_TRANSLATE_NOOP("quillet", "下划线")), GroupBox1);
    cbUnderline->setGeometry(256, 22, 100, 22);

    GroupBox2 = new QGroupBox(qtr(QT_TRANSLATE_NOOP("quillet", "预览")), this);
    GroupBox2->setGeometry(16, 144, 372, 100);
    lbPreview = new QLabel(GroupBox2);
    lbPreview->setGeometry(8, 20, 356, 72);
    lbPreview->setAlignment(Qt::AlignCenter);

    OKBtn = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "确定")), this);
    OKBtn->setGeometry(212, 256, 84, 30);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "取消")), this);
    CancelBtn->setGeometry(304, 256, 84, 30);
    connect(OKBtn, &QPushButton::clicked, this, &TfrmFontDialog::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    connect(cbFontName, &QComboBox::currentTextChanged, this, &TfrmFontDialog::ActionList1Update);
    connect(seSize, &QSpinBox::valueChanged, this, &TfrmFontDialog::ActionList1Update);
    connect(cbColor, &ColorChooser::colorChanged, this, &TfrmFontDialog::ActionList1Update);
    for (QCheckBox* box : {cbBold, cbItalic, cbUnderline})
        connect(box, &QCheckBox::toggled, this, &TfrmFontDialog::ActionList1Update);
    ActionList1Update();
}

void TfrmFontDialog::Apply() {
    cbFontName->setEditText(QString::fromStdU16String(FFont.Name));
    seSize->setValue(FFont.Size);
    cbColor->setColor(FFont.Color);
    cbBold->setChecked(FFont.Style.has(FontStyle::Bold));
    cbItalic->setChecked(FFont.Style.has(FontStyle::Italic));
    cbUnderline->setChecked(FFont.Style.has(FontStyle::Underline));
    ActionList1Update();
}

void TfrmFontDialog::ActionList1Update() {
    const QString name = cbFontName->currentText();
    lbPreview->setText(name);
    m_preview.Name = name.toStdU16String();
    m_preview.Size = seSize->value();
    m_preview.Color = cbColor->color();
    m_preview.Style.set(FontStyle::Bold, cbBold->isChecked());
    m_preview.Style.set(FontStyle::Italic, cbItalic->isChecked());
    m_preview.Style.set(FontStyle::Underline, cbUnderline->isChecked());
    lbPreview->setFont(toQFont(m_preview));
    QPalette colours = lbPreview->palette();
    colours.setColor(QPalette::WindowText, toQColor(m_preview.Color, palette()));
    lbPreview->setPalette(colours);
}

void TfrmFontDialog::OKBtnClick() {
    ActionList1Update();
    FFont = m_preview;
    accept();
}

}  // namespace quillet::ui
