#include "ui/headings_dialog.h"
#include "ui/texts.h"

#include <QMouseEvent>
#include <QVBoxLayout>

namespace quillet::ui {

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

TfrmHeadings::TfrmHeadings(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmHeadings"));
    setWindowTitle(qtr(QT_TRANSLATE_NOOP("quillet", "标题样式")));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(564, 408);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setGeometry(8, 8, 425, 353);
    ScrollBox1->setWidgetResizable(true);
    auto* lines = new QWidget;
    lines->setAutoFillBackground(true);
    lines->setBackgroundRole(QPalette::Base);
    auto* stack = new QVBoxLayout(lines);
    stack->setContentsMargins(4, 4, 4, 4);
    stack->setSpacing(0);

    for (int level = 1; level <= 9; ++level) {
        const auto l = static_cast<std::size_t>(level);
        Button[l] = new QPushButton(QStringLiteral("Level %1").arg(level), this);
        Button[l]->setGeometry(450, 40 * level - 32, 100, 30);
        connect(Button[l], &QPushButton::clicked, this, [this, level] { ButtonClick(level); });

        FontDialog[l] = new TfrmFontDialog(this);
        FontDialog[l]->setWindowTitle(QStringLiteral("Leve %1").arg(level));

        Preview[l] = new ClickableLabel(lines);
        Preview[l]->setCursor(Qt::PointingHandCursor);
        Preview[l]->setFont(toQFont(FontDialog[l]->FFont));
        stack->addWidget(Preview[l]);
        connect(Preview[l], &ClickableLabel::clicked, this, [this, level] { ButtonClick(level); });
    }
    stack->addStretch();
    ScrollBox1->setWidget(lines);

    OKBtn = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "确定")), this);
    OKBtn->setGeometry(358, 370, 84, 30);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(qtr(QT_TRANSLATE_NOOP("quillet", "取消")), this);
    CancelBtn->setGeometry(466, 370, 84, 30);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmHeadings::Update() {
    for (int level = 1; level <= 9; ++level) {
        const auto l = static_cast<std::size_t>(level);
        const TFont& font = FontDialog[l]->FFont;
        Preview[l]->setFont(toQFont(font));
        QPalette colours = Preview[l]->palette();
        colours.setColor(QPalette::WindowText, toQColor(font.Color, palette()));
        Preview[l]->setPalette(colours);
        Preview[l]->setText(
            QStringLiteral("Level%1: %2").arg(level).arg(QString::fromStdU16String(font.Name)));
    }
}

void TfrmHeadings::ButtonClick(int level) {
    TfrmFontDialog* editor = FontDialog[static_cast<std::size_t>(level)];
    if (editor->exec() == QDialog::Accepted)
        Update();
    else
        editor->Apply();
}

}  // namespace quillet::ui
