#include "platform/user_interface.h"

#include "platform/thread.h"
#include "platform/utf.h"

#include <unistd.h>

#include <iostream>
#include <string>

namespace quillet {

namespace {

bool stdinIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

const char* prefix(MessageKind kind) {
    switch (kind) {
        case MessageKind::Error:
            return "error: ";
        case MessageKind::Warning:
            return "warning: ";
        case MessageKind::Information:
            return "";
    }
    return "";
}

}  // namespace

void TerminalUserInterface::showMessage(MessageKind kind, const std::u16string& text) {
    std::cerr << prefix(kind) << toUtf8(text) << std::endl;
}

AbortRetry TerminalUserInterface::askAbortRetry(const std::u16string& text) {
    std::cerr << "error: " << toUtf8(text) << std::endl;
    if (!stdinIsTerminal()) {
        std::cerr << "(no terminal to answer on: abort)" << std::endl;
        return AbortRetry::Abort;
    }
    for (;;) {
        std::cerr << "[a]bort or [r]etry? " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) return AbortRetry::Abort;
        if (answer == "a" || answer == "A" || answer == "abort") return AbortRetry::Abort;
        if (answer == "r" || answer == "R" || answer == "retry") return AbortRetry::Retry;
    }
}

std::optional<std::u16string> TerminalUserInterface::askSaveFileName(
    const std::u16string& fileName) {
    // A command-line run does not stop to ask for another name: that one file is given up.
    std::cerr << "warning: " << toUtf8(fileName) << " was not saved" << std::endl;
    return std::nullopt;
}

void SynchronizedUserInterface::showMessage(MessageKind kind, const std::u16string& text) {
    m_thread.Synchronize([&] { m_target.showMessage(kind, text); });
}

AbortRetry SynchronizedUserInterface::askAbortRetry(const std::u16string& text) {
    AbortRetry answer = AbortRetry::Abort;
    m_thread.Synchronize([&] { answer = m_target.askAbortRetry(text); });
    return answer;
}

std::optional<std::u16string> SynchronizedUserInterface::askSaveFileName(
    const std::u16string& fileName) {
    std::optional<std::u16string> answer;
    m_thread.Synchronize([&] { answer = m_target.askSaveFileName(fileName); });
    return answer;
}

}  // namespace quillet
