// Per-job settings of the text layer: which code page "code page 0" (the system ANSI code page)
// stands for, and where its error messages and save dialog go. Each worker thread installs its
// own with ScopedTextContext, so two jobs never see each other's values.
#pragma once

#include "platform/user_interface.h"

#include <string>
#include <string_view>

namespace quillet {

struct TextContext {
    int ansiCodePage = 0;         // 0: this platform's setting (PlatformAnsiCodePage)
    UserInterface* ui = nullptr;  // nullptr: the terminal
    // The job's working folder: the only folder whose files its pages may refer to when they
    // are read into the document. Empty until the job has chosen it.
    std::u16string workingFolder;
};

// Installs `context` for the current thread and puts the previous one back when it goes.
class ScopedTextContext {
public:
    explicit ScopedTextContext(TextContext context);
    ~ScopedTextContext();
    ScopedTextContext(const ScopedTextContext&) = delete;
    ScopedTextContext& operator=(const ScopedTextContext&) = delete;

private:
    TextContext m_previous;
};

// The current thread's context; a job may change its ANSI code page while it runs.
TextContext& currentTextContext();

// The code page that code page 0 means on this thread: the job's, else the platform's.
int SystemAnsiCodePage();

// The platform's ANSI code page, fixed at first use: QUILLET_ANSI_CODEPAGE when set to a number,
// else the legacy code page of the locale's character set, else 1252.
int PlatformAnsiCodePage();

// The legacy code page for a locale character-set name ("GBK" -> 936, "ISO-8859-5" -> 28595,
// "CP1251" -> 1251); 0 when it has none (UTF-8, unknown names).
int codePageOfLocaleCharset(std::string_view charset);

// Where the text layer shows messages: the job's interface, else the terminal.
UserInterface& TextUserInterface();

}  // namespace quillet
