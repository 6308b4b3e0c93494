// The font editor of one heading level: name, size, colour, bold, italic and underline, with a
// live preview. It keeps the edited font (FFont) across repeated openings; "确定" makes the
// preview's font the edited font, "取消" leaves it as it was.
#pragma once

#include "job/font.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace quillet::ui {

// 0x00BBGGRR to a colour; a negative (system) colour shows as the palette's text colour.
QColor toQColor(std::int32_t color, const QPalette& palette);
std::int32_t fromQColor(const QColor& color);

// What a heading font looks like on screen.
QFont toQFont(const TFont& font);

// A colour chooser: the current colour first, then an entry that opens the colour dialog. The
// colour is kept as stored (a system colour stays one until another colour is chosen).
class ColorChooser : public QComboBox {
    Q_OBJECT
public:
    explicit ColorChooser(QWidget* parent = nullptr);
    std::int32_t color() const { return m_color; }
    void setColor(std::int32_t color);

signals:
    void colorChanged();

private:
    void pick(int index);
    std::int32_t m_color = 0;
};

class TfrmFontDialog : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFontDialog(QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* cbFontName;
    QLabel* Label2;
    QSpinBox* seSize;
    QLabel* Label3;
    ColorChooser* cbColor;
    QGroupBox* GroupBox1;
    QCheckBox* cbBold;
    QCheckBox* cbItalic;
    QCheckBox* cbUnderline;
    QGroupBox* GroupBox2;
    QLabel* lbPreview;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // The font being edited.
    TFont FFont;
    // The preview label's font: follows the controls and never carries strike-out.
    const TFont& previewFont() const { return m_preview; }

    // Loads the controls from FFont (the size clamped to 1..100).
    void Apply();
    // Makes the preview follow the controls.
    void ActionList1Update();
    void OKBtnClick();

private:
    TFont m_preview;
};

}  // namespace quillet::ui
