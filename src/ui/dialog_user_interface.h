// The job's questions and messages as Qt dialogs: message boxes with the error, warning or plain
// look, the Abort/Retry question and the save-file dialog. Used on the main thread only; a worker
// reaches it through SynchronizedUserInterface.
#pragma once

#include "platform/user_interface.h"

#include <QPointer>
#include <QWidget>

namespace quillet::ui {

class DialogUserInterface : public UserInterface {
public:
    // Dialogs are centred over `parent` (the main window), or the screen when it is gone.
    explicit DialogUserInterface(QWidget* parent = nullptr) : m_parent(parent) {}

    void showMessage(MessageKind kind, const std::u16string& text) override;
    AbortRetry askAbortRetry(const std::u16string& text) override;
    std::optional<std::u16string> askSaveFileName(const std::u16string& fileName) override;

private:
    QWidget* parentWidget() const;
    QPointer<QWidget> m_parent;
};

}  // namespace quillet::ui
