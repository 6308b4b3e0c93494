// How the conversion job talks to the user: message boxes and the save-file dialog. The desktop
// windows, the command line and the tests each implement it. Calls are made on the main thread;
// a worker reaches them through SynchronizedUserInterface.
#pragma once

#include <optional>
#include <string>

namespace quillet {

class Thread;

enum class MessageKind {
    Error,        // error icon, OK
    Warning,      // warning icon, OK
    Information,  // plain, OK
};

enum class AbortRetry { Abort, Retry };

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A modal message with one OK button; returns when the user has closed it.
    virtual void showMessage(MessageKind kind, const std::u16string& text) = 0;

    // A modal error message with Abort and Retry buttons.
    virtual AbortRetry askAbortRetry(const std::u16string& text) = 0;

    // A save-file dialog preset to `fileName`. The chosen path, or nothing when cancelled.
    virtual std::optional<std::u16string> askSaveFileName(const std::u16string& fileName) = 0;
};

// The command line's answers: messages go to standard error. Abort/Retry is asked on the
// terminal when standard input is one and answers Abort otherwise, so an unattended run never
// waits for input. The save dialog is always cancelled: a file that cannot be saved is given up.
class TerminalUserInterface : public UserInterface {
public:
    void showMessage(MessageKind kind, const std::u16string& text) override;
    AbortRetry askAbortRetry(const std::u16string& text) override;
    std::optional<std::u16string> askSaveFileName(const std::u16string& fileName) override;
};

// Forwards every call from a worker to `target` on the main thread through `thread`'s
// Synchronize, and blocks the worker until the user has answered.
class SynchronizedUserInterface : public UserInterface {
public:
    SynchronizedUserInterface(UserInterface& target, Thread& thread)
        : m_target(target), m_thread(thread) {}

    void showMessage(MessageKind kind, const std::u16string& text) override;
    AbortRetry askAbortRetry(const std::u16string& text) override;
    std::optional<std::u16string> askSaveFileName(const std::u16string& fileName) override;

private:
    UserInterface& m_target;
    Thread& m_thread;
};

}  // namespace quillet
