#include "ui/desktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace quillet::ui {

void openWithDefaultHandler(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

void showInFolder(const QString& path) {
    const QFileInfo file(path);
    // File managers that take a file and select it in its folder.
    static const char* const kSelecting[][2] = {
        {"nautilus", "--select"}, {"dolphin", "--select"}, {"nemo", nullptr}, {"caja", "--select"}};
    if (file.exists()) {
        for (const auto& [program, option] : kSelecting) {
            const QString executable = QStandardPaths::findExecutable(QString::fromLatin1(program));
            if (executable.isEmpty()) continue;
            QStringList arguments;
            if (option != nullptr) arguments << QString::fromLatin1(option);
            arguments << file.absoluteFilePath();
            if (QProcess::startDetached(executable, arguments)) return;
        }
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath()));
}

}  // namespace quillet::ui
