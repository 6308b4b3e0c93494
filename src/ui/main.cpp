// quillet-gui: the desktop windows. A hidden option, --screenshot FOLDER [FILE.chm], shows the
// windows one after another and saves each as a PNG picture in FOLDER (the README's pictures).

#include "i18n/language.h"
#include "ui/headings_dialog.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/register_engines.h"
#include "ui/texts.h"

#include <QApplication>
#include <QDir>
#include <QFileOpenEvent>
#include <QTimer>

#include <cstdio>

namespace {

using quillet::ui::TfrmHeadings;
using quillet::ui::TfrmMain;
using quillet::ui::TfrmProgress;

void save(QWidget& window, const QString& path) {
    if (!window.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// Main window, heading styles dialog, then the progress window part-way through a conversion of
// `helpFile` into `folder`/screenshot.docx.
void takeScreenshots(TfrmMain& window, const QString& folder, const QString& helpFile) {
    QDir().mkpath(folder);
    const QDir out(folder);
    if (!helpFile.isEmpty()) {
        window.edtSourceFile->setText(QFileInfo(helpFile).absoluteFilePath());
        window.edtPDF->setText(out.absoluteFilePath(QStringLiteral("screenshot.docx")));
    }
    window.openFile = [](const QString&) {};
    window.Action1Update();
    QTimer::singleShot(300, &window, [&window, out, helpFile] {
        save(window, out.filePath(QStringLiteral("main-window.png")));
        QTimer::singleShot(0, &window, [out] {
            auto* headings = qobject_cast<TfrmHeadings*>(QApplication::activeModalWidget());
            if (headings == nullptr) return;
            QTimer::singleShot(200, headings, [headings, out] {
                save(*headings, out.filePath(QStringLiteral("heading-styles.png")));
                headings->reject();
            });
        });
        window.btnHeadingStylesClick();
        if (helpFile.isEmpty()) {
            window.close();
            return;
        }
        window.onProgressShown = [out](TfrmProgress& progress) {
            auto* poll = new QTimer(&progress);
            QObject::connect(poll, &QTimer::timeout, &progress, [poll, &progress, out] {
                const bool finished = progress.btnCancel->text() !=
                                      quillet::ui::qtr(QT_TRANSLATE_NOOP("quillet", "取消"));
                if (progress.Gauge1->percent() >= 20 || finished) {
                    poll->stop();
                    save(progress, out.filePath(QStringLiteral("progress-window.png")));
                    if (finished)
                        progress.btnCancel->click();
                    else {
                        auto* wait = new QTimer(&progress);
                        QObject::connect(wait, &QTimer::timeout, &progress, [&progress] {
                            if (progress.btnCancel->text() !=
                                quillet::ui::qtr(QT_TRANSLATE_NOOP("quillet", "取消")))
                                progress.btnCancel->click();
                        });
                        wait->start(50);
                    }
                }
            });
            poll->start(5);
        };
        window.btnConvertClick();
        QFile::remove(out.filePath(QStringLiteral("screenshot.docx")));
        window.close();
    });
}

// Takes the files the desktop asks the running program to open, as drops.
class FileOpenFilter : public QObject {
public:
    explicit FileOpenFilter(TfrmMain& window) : m_window(window) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FileOpen) return QObject::eventFilter(watched, event);
        m_window.openGivenFile(static_cast<QFileOpenEvent*>(event)->file());
        return true;
    }

private:
    TfrmMain& m_window;
};

}  // namespace

// Under LeakSanitizer: fontconfig keeps its caches until the process ends, which is no fault of
// ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quillet::i18n::useLanguage(quillet::i18n::chooseLanguage());
    QApplication::setApplicationName(QStringLiteral("quillet"));
    QApplication::setApplicationDisplayName(quillet::ui::AppName);
    QApplication::setDesktopFileName(QStringLiteral("quillet"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quillet")));
    quillet::ui::registerEngines();

    const QStringList arguments = QApplication::arguments();
    const qsizetype option = arguments.indexOf(QStringLiteral("--screenshot"));

    TfrmMain window;
    window.show();
    // The desktop asks a running program to open a file with this event on some systems.
    FileOpenFilter fileOpen(window);
    app.installEventFilter(&fileOpen);
    if (option > 0 && option + 1 < arguments.size())
        takeScreenshots(window, arguments[option + 1],
                        option + 2 < arguments.size() ? arguments[option + 2] : QString());
    else if (arguments.size() > 1 && !arguments[1].startsWith(QLatin1Char('-')))
        window.openGivenFile(arguments[1]);  // the file manager's "Open with Quillet"
    return QApplication::exec();
}
