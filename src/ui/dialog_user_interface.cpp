#include "ui/dialog_user_interface.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace quillet::ui {

QWidget* DialogUserInterface::parentWidget() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return m_parent.data();
}

void DialogUserInterface::showMessage(MessageKind kind, const std::u16string& text) {
    const QString message = QString::fromStdU16String(text);
    const QString title = QApplication::applicationDisplayName();
    switch (kind) {
        case MessageKind::Error:
            QMessageBox::critical(parentWidget(), title, message);
            break;
        case MessageKind::Warning:
            QMessageBox::warning(parentWidget(), title, message);
            break;
        case MessageKind::Information:
            QMessageBox::information(parentWidget(), title, message);
            break;
    }
}

AbortRetry DialogUserInterface::askAbortRetry(const std::u16string& text) {
    const auto answer = QMessageBox::critical(
        parentWidget(), QApplication::applicationDisplayName(), QString::fromStdU16String(text),
        QMessageBox::Abort | QMessageBox::Retry, QMessageBox::Retry);
    return answer == QMessageBox::Retry ? AbortRetry::Retry : AbortRetry::Abort;
}

std::optional<std::u16string> DialogUserInterface::askSaveFileName(const std::u16string& fileName) {
    const QString chosen = QFileDialog::getSaveFileName(parentWidget(), QString(),
                                                        QString::fromStdU16String(fileName));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdU16String();
}

}  // namespace quillet::ui
