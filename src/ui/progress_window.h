// The progress window of one conversion: starts the job when shown, shows its progress text and
// percentage, and offers one button that cancels the running job or closes the window once the
// job has ended. Shown modally by the main window; the job's calls arrive on the main thread.
#pragma once

#include "job/output_word.h"
#include "job/progress_controls.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace quillet::ui {

// A horizontal gauge with range 0..100 that draws its percentage ("45%") in the bar, black on
// white. A value outside the range is clamped; the bar is redrawn only when the percentage changes.
class TGauge : public QWidget, public ProgressGauge {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);

    void setProgress(int position) override;
    int value() const { return m_value; }
    // The whole percentage of the value within the range, fraction cut off.
    int percent() const;
    QString text() const { return QStringLiteral("%1%").arg(percent()); }
    QSize sizeHint() const override { return {529, 17}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = 0;
};

class InfoLabel : public QLabel, public TextLine {
    Q_OBJECT
public:
    using QLabel::QLabel;
    void setCaption(const std::u16string& caption) override {
        setText(QString::fromStdU16String(caption));
    }
};

class CaptionPushButton : public QPushButton, public CaptionButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    void setCaption(const std::u16string& caption) override {
        setText(QString::fromStdU16String(caption));
    }
};

class TfrmProgress : public QDialog {
    Q_OBJECT
public:
    explicit TfrmProgress(QWidget* parent = nullptr);
    // Stops a job that is still running before the controls it updates go away.
    ~TfrmProgress() override;

    QLabel* Label1;
    InfoLabel* lbInfo;
    TGauge* Gauge1;
    CaptionPushButton* btnCancel;

    // The job of this window, created suspended; set before the window is shown.
    std::unique_ptr<TOutputWord> OutputWord;

    // Cancel-and-close while the button reads "取消", close when it reads "关闭".
    void btnCancelClick();

    // The title-bar close box and Escape: a running job is stopped first, as by the button, so
    // the main window never removes the help file's copy from under a running job.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void stopJob();
    bool m_started = false;
};

}  // namespace quillet::ui
