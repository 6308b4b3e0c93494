// Shared pieces of the window tests: one offscreen QApplication for the whole program, a user
// interface that records instead of asking, and helpers to drive modal dialogs.
#pragma once

#include "platform/user_interface.h"

#include <QApplication>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace quillet::testing {

// Creates the application (offscreen, engines registered) on first use.
QApplication& testApp();

class RecordingUserInterface : public UserInterface {
public:
    struct Message {
        MessageKind kind;
        std::u16string text;
    };
    explicit RecordingUserInterface(std::vector<Message>& log) : m_log(log) {}
    void showMessage(MessageKind kind, const std::u16string& text) override {
        m_log.push_back({kind, text});
    }
    AbortRetry askAbortRetry(const std::u16string& text) override {
        m_log.push_back({MessageKind::Error, text});
        return AbortRetry::Abort;
    }
    std::optional<std::u16string> askSaveFileName(const std::u16string&) override {
        return std::nullopt;
    }

private:
    std::vector<Message>& m_log;
};

// Runs `action` on the modal dialog of type T as soon as it is shown (from the event loop of the
// exec() that the caller starts next).
template <typename T>
void whenModal(std::function<void(T&)> action);

// Processes events until `done` holds or `milliseconds` pass; whether it held.
bool waitUntil(const std::function<bool()>& done, int milliseconds = 30000);

}  // namespace quillet::testing

#include <QTimer>

namespace quillet::testing {

template <typename T>
void whenModal(std::function<void(T&)> action) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            action(*dialog);
        }
    });
    poll->start(10);
}

}  // namespace quillet::testing
