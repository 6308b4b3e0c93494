#include "ui/progress_window.h"

#include "engine/doc_export.h"
#include "engine/stop_check.h"
#include "ui/texts.h"

#include <QCoreApplication>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace quillet::ui {

namespace {

QString cancelCaption() {
    return qtr(QT_TRANSLATE_NOOP("quillet", "取消"));
}

}  // namespace

TGauge::TGauge(QWidget* parent) : QWidget(parent) {
    setFixedSize(529, 17);
}

int TGauge::percent() const {
    if (m_maximum == m_minimum) return 0;
    return 100 * (m_value - m_minimum) / (m_maximum - m_minimum);
}

void TGauge::setProgress(int position) {
    const int before = percent();
    m_value = std::clamp(position, m_minimum, m_maximum);
    if (percent() != before) update();
}

void TGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect all = rect();
    const QRect bar(0, 0, all.width() * percent() / 100, all.height());
    painter.fillRect(all, Qt::white);
    painter.fillRect(bar, Qt::black);
    // The text is black over the empty part and white over the bar.
    painter.setPen(Qt::black);
    painter.setClipRect(QRect(bar.right() + 1, 0, all.width(), all.height()));
    painter.drawText(all, Qt::AlignCenter, text());
    painter.setPen(Qt::white);
    painter.setClipRect(bar);
    painter.drawText(all, Qt::AlignCenter, text());
    painter.setClipping(false);
    painter.setPen(Qt::gray);
    painter.drawRect(all.adjusted(0, 0, -1, -1));
}

TfrmProgress::TfrmProgress(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QString());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(581, 133);

    Label1 = new QLabel(qtr(QT_TRANSLATE_NOOP("quillet", "同时，请不要使用系统剪贴板。")), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAutoFillBackground(true);
    QPalette warning = Label1->palette();
    warning.setColor(QPalette::Window, Qt::red);
    warning.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(warning);
    Label1->setMargin(4);

    lbInfo = new InfoLabel(QString(60, QLatin1Char(' ')), this);
    lbInfo->setObjectName(QStringLiteral("lbInfo"));
    Gauge1 = new TGauge(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    btnCancel = new CaptionPushButton(cancelCaption(), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setDefault(true);
    btnCancel->setAutoDefault(true);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmProgress::btnCancelClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(Label1);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(26, 4, 26, 0);
    body->addWidget(lbInfo);
    body->addWidget(Gauge1);
    body->addWidget(btnCancel, 0, Qt::AlignHCenter);
    layout->addLayout(body);
    layout->addStretch();
}

TfrmProgress::~TfrmProgress() {
    engine::setOfficeWatch(nullptr);
    stopJob();
    engine::setStopCheck(nullptr);  // after the job, whose page reading it may still stop
    OutputWord.reset();
}

void TfrmProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_started) FormShow();
}

void TfrmProgress::FormShow() {
    m_started = true;
    if (!OutputWord) return;
    OutputWord->Gauge1 = Gauge1;
    OutputWord->lbInfo = lbInfo;
    OutputWord->btnCancel = btnCancel;
    // The worker waits in Synchronize until the main thread runs its call: post the call to this
    // window's thread. Posted calls die with the window.
    TOutputWord* job = OutputWord.get();
    job->setWakeMainThread([this, job] {
        QMetaObject::invokeMethod(
            this,
            [this, job] {
                if (OutputWord.get() == job) job->checkSynchronize();
            },
            Qt::QueuedConnection);
    });
    // LibreOffice, which makes .doc and .pdf files, may work for many minutes inside one of the
    // worker's calls: the window keeps answering meanwhile, and its cancel button stops it.
    engine::setOfficeWatch([job](std::chrono::seconds) {
        QCoreApplication::processEvents();
        return job->WantToExit.load();
    });
    // The cancel button stops the reading of a page as well, however long the page would take.
    engine::setStopCheck([job] { return job->WantToExit.load(); });
    job->Start();
}

void TfrmProgress::stopJob() {
    if (!OutputWord || !m_started || OutputWord->Finished()) return;
    // Inside a call of the worker's (LibreOffice at work) the flag is all: the call ends on it,
    // and the worker is waited for once the call has returned.
    if (OutputWord->servingCall()) {
        OutputWord->WantToExit = true;
        return;
    }
    try {
        OutputWord->StopIt();
    } catch (...) {
        // A job that cannot be stopped cleanly has ended anyway; the window closes regardless.
    }
}

void TfrmProgress::btnCancelClick() {
    if (btnCancel->text() == cancelCaption()) stopJob();
    QDialog::accept();
}

void TfrmProgress::reject() {
    stopJob();
    QDialog::reject();
}

}  // namespace quillet::ui
