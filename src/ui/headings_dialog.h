// The heading styles dialog: one preview line and one "Level" button per heading level, each
// opening that level's font editor. The caller loads the editors' fonts, calls Apply on each and
// Update, shows the dialog, and reads the editors' fonts back when it returns Accepted.
#pragma once

#include "ui/font_dialog.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

#include <array>

namespace quillet::ui {

// A preview line that opens its level's editor when clicked.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TfrmHeadings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmHeadings(QWidget* parent = nullptr);

    QScrollArea* ScrollBox1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // Levels 1..9; entry 0 is unused.
    std::array<TfrmFontDialog*, 10> FontDialog{};
    std::array<QPushButton*, 10> Button{};
    std::array<ClickableLabel*, 10> Preview{};

    // Refreshes the nine preview lines from the editors' fonts.
    void Update();
    // Opens the editor of `level`; refreshes the previews on OK, resets the editor otherwise.
    void ButtonClick(int level);
};

}  // namespace quillet::ui
