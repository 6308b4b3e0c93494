// quillet convert: a whole conversion job on a worker thread, with the terminal standing in for
// the progress window and the message boxes.

#include "cli/commands.h"

#include "cli/staged_output.h"
#include "cli/stop_signals.h"
#include "engine/doc_export.h"
#include "engine/html/web_page_reader.h"
#include "engine/layout/page_layout.h"
#include "engine/stop_check.h"
#include "engine/word_engine.h"
#include "job/output_word.h"
#include "platform/file_in_use.h"
#include "platform/process.h"
#include "platform/translation.h"
#include "platform/utf.h"
#include "text/code_pages.h"
#include "word/word_stage.h"

#include <nlohmann/json.hpp>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace quillet::cli {

namespace {

bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

// When each stage of a conversion began, told by the progress text that opens it.
class StageClock {
public:
    void caption(const std::u16string& text) {
        // The captions as the user reads them, in the user's language.
        static const std::pair<std::u16string, std::string_view> kStages[] = {
            {tr16(QT_TRANSLATE_NOOP("quillet", "Decompiling...")), "unpack"},
            {tr16(QT_TRANSLATE_NOOP("quillet", "Analyzing...")), "distill"},
            {tr16(QT_TRANSLATE_NOOP("quillet", "Launching Word...")), "document"},
            {tr16(QT_TRANSLATE_NOOP("quillet", "保存文档...")), "save"},
        };
        for (const auto& [opening, stage] : kStages)
            if (text == opening && (m_stages.empty() || m_stages.back().first != stage))
                m_stages.emplace_back(stage, Clock::now());
    }
    // The stage under way: "start" before the first, then "unpack", "distill", "document", "save".
    std::string_view stage() const { return m_stages.empty() ? "start" : m_stages.back().first; }
    // "unpack 1.20 s, distill 3.40 s, ..., whole 9.80 s; peak memory 120.5 MiB (unpacker 9.1 MiB)"
    std::string report() const {
        const auto end = Clock::now();
        std::ostringstream out;
        out << std::fixed << std::setprecision(2);
        for (std::size_t i = 0; i < m_stages.size(); ++i) {
            const auto until = i + 1 < m_stages.size() ? m_stages[i + 1].second : end;
            out << m_stages[i].first << " " << seconds(m_stages[i].second, until) << " s, ";
        }
        out << "whole " << seconds(m_start, end) << " s; ";
        rusage self{}, children{};
        ::getrusage(RUSAGE_SELF, &self);
        ::getrusage(RUSAGE_CHILDREN, &children);
        out << std::setprecision(1) << "peak memory " << self.ru_maxrss / 1024.0
            << " MiB (unpacker " << children.ru_maxrss / 1024.0 << " MiB)";
        return out.str();
    }

private:
    using Clock = std::chrono::steady_clock;
    static double seconds(Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    }
    Clock::time_point m_start = Clock::now();
    std::vector<std::pair<std::string_view, Clock::time_point>> m_stages;
};

// The progress window on the terminal: one redrawn line on a terminal, else a line per new text.
class TerminalProgress : public ProgressGauge, public TextLine {
public:
    TerminalProgress(StageClock& clock, bool json) : m_clock(clock), m_json(json) {}
    void setProgress(int position) override {
        m_position = position;
        draw();
    }
    void setCaption(const std::u16string& caption) override {
        m_clock.caption(caption);
        const bool changed = caption != m_caption;
        m_caption = caption;
        if (changed) m_note.clear();
        if (m_json)
            report();
        else if (m_terminal)
            draw();
        else if (changed && !caption.empty())
            std::cerr << "[" << m_position << "%] " << toUtf8(caption) << std::endl;
    }
    // A word on the current stage after its caption, such as how long an outside program has
    // been at work; the next caption clears it.
    void setNote(const std::string& note) {
        m_note = note;
        if (m_json)
            report();
        else if (m_terminal)
            draw();
        else
            std::cerr << "[" << m_position << "%] " << toUtf8(m_caption) << " " << note
                      << std::endl;
    }
    void finish() {
        if (m_terminal && m_drawn) std::cerr << std::endl;
    }

private:
    // One JSON line per report that says something new: {"stage", "percent", "message"}.
    void report() {
        std::string message = toUtf8(m_caption);
        if (!m_note.empty()) message += " " + m_note;
        if (message == m_reported && m_position == m_reportedPosition) return;
        m_reported = message;
        m_reportedPosition = m_position;
        const nlohmann::json line = {
            {"stage", std::string(m_clock.stage())}, {"percent", m_position}, {"message", message}};
        std::cerr << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                  << std::endl;
    }
    void draw() {
        if (!m_terminal) return;
        constexpr int kWidth = 30;
        const int filled = std::clamp(m_position, 0, 100) * kWidth / 100;
        std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] " +
                           std::to_string(m_position) + "% " + toUtf8(m_caption);
        if (!m_note.empty()) line += " " + m_note;
        if (line.size() < m_lastLength) line += std::string(m_lastLength - line.size(), ' ');
        m_lastLength = line.size();
        std::cerr << line << std::flush;
        m_drawn = true;
    }
    StageClock& m_clock;
    bool m_json;
    bool m_terminal = !m_json && stderrIsTerminal();
    bool m_drawn = false;
    int m_position = 0;
    std::u16string m_caption;
    std::string m_note;
    std::size_t m_lastLength = 0;
    std::string m_reported;
    int m_reportedPosition = -1;
};

// Wakes the main loop from the worker thread; a wake that comes before the wait is not lost.
class Waker {
public:
    void wake() {
        {
            const std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_changed.notify_one();
    }
    void wait(std::chrono::milliseconds longest) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, longest, [this] { return m_woken; });
        m_woken = false;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_woken = false;
};

class NoButton : public CaptionButton {
public:
    void setCaption(const std::u16string&) override {}
};

void openWithDesktop(const std::u16string& document) {
    try {
        RunAndWait(u"xdg-open " + document, std::filesystem::current_path());
    } catch (const std::exception& e) {
        std::cerr << "quillet convert: cannot open " << toUtf8(document) << ": " << e.what()
                  << '\n';
    }
}

int cancelled() {
    std::cerr << "quillet convert: cancelled\n";
    return kExitCancelled;
}

// The old document stays until the new one replaces it; while another program has it open,
// the user may close it and retry. False when the user gave up.
bool waitWhileInUse(const std::u16string& output, UserInterface& ui) {
    while (IsFileInUse(output)) {
        if (ui.askAbortRetry(u"\"" + output + u"\" is open in another program; close it to let " +
                             u"the new document replace it") == AbortRetry::Abort)
            return false;
    }
    return true;
}

}  // namespace

int runConvert(const ConvertArgs& args) {
    if (args.batch) return runBatch(args);
    auto job = std::make_unique<TChmToDocPDF>();
    job->Settings->Assign(args.settings);
    if (!std::filesystem::is_regular_file(args.input)) {
        std::cerr << "quillet convert: cannot open " << args.input << ": there is no such file\n";
        return kExitFailure;
    }
    const std::filesystem::path outputPath = std::filesystem::absolute(args.output);
    if (std::error_code ec; std::filesystem::is_directory(outputPath, ec)) {
        std::cerr << "quillet convert: cannot write " << outputPath.string()
                  << ": it is a folder\n";
        return kExitFailure;
    }
    const std::u16string input = fromPath(std::filesystem::absolute(args.input));
    const std::u16string output = fromPath(outputPath);

    // From here on a stop signal ends the run through its cleanup: the working folder and the
    // staged document go, the old document stays.
    const StopSignals stopSignals;

    // The title: as given, else the help file's own, decoded in the chosen language's code page.
    std::u16string title;
    try {
        TCHMDecompile project;
        project.LoadFromCHM(input);
        title = args.codePage != 0 ? DecodeCodePage(project.rTitle, args.codePage) : project.Title;
        if (title.empty()) title = fromPath(std::filesystem::path(args.input).stem());
    } catch (const std::exception& e) {
        std::cerr << "quillet convert: " << e.what() << '\n';
        return kExitFailure;
    }

    std::optional<StagedOutput> staged;
    try {
        staged.emplace(outputPath);
    } catch (const std::system_error& e) {
        std::cerr << "quillet convert: " << e.what() << '\n';
        return kExitFailure;
    }

    engine::registerWordEngine();
    engine::layout::registerPageLayout();
    engine::registerWebPageReader();
    TerminalUserInterface ui;
    StageClock clock;
    TerminalProgress progress(clock, args.jsonProgress);
    NoButton button;
    job->pdf = fromPath(staged->path());
    job->Title = args.title ? fromUtf8(*args.title) : title;
    job->CodePage = args.codePage;
    job->OriginalFile = input;
    job->MaxUnpackSize = args.maxSize;
    job->MaxEntries = args.maxEntries;
    job->holdLimit = args.holdLimit;
    setMaxTextFileBytes(args.maxPageSize);
    // The document opens once it is in place, not where the Word stage saved it.
    job->setWordStage(wordStage());
    TChmToDocPDF& conversion = *job;

    // LibreOffice, which makes .doc and .pdf files, may work for many minutes: say so once a
    // minute, and stop it on a stop signal.
    engine::setOfficeTimeLimit(args.officeTimeLimit);
    std::chrono::minutes shownMinutes{0};
    engine::setOfficeWatch([&](std::chrono::seconds elapsed) {
        const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(elapsed);
        if (minutes > shownMinutes) {
            shownMinutes = minutes;
            std::string note = "(LibreOffice: " + std::to_string(minutes.count()) + " min";
            if (args.officeTimeLimit.count() > 0)
                note += " of at most " + std::to_string(args.officeTimeLimit.count());
            progress.setNote(note + ")");
        }
        return StopSignals::requested();
    });
    // Reading a page stops on a stop signal too, however long the page would take.
    engine::setStopCheck([] { return StopSignals::requested(); });
    struct ForgetWatch {
        ~ForgetWatch() {
            engine::setOfficeWatch(nullptr);
            engine::setStopCheck(nullptr);
        }
    } forgetWatch;

    TOutputWord worker(true, ui, std::move(job));
    worker.chm = input;
    worker.Gauge1 = &progress;
    worker.lbInfo = &progress;
    worker.btnCancel = &button;

    // The worker wakes the main thread for each call it hands over, so a call is served at once
    // rather than at the next turn of a polling loop: a large help file makes tens of thousands.
    Waker waker;
    worker.setWakeMainThread([&waker] { waker.wake(); });
    worker.Start();
    // The main thread serves the worker's calls. A stop signal is passed on before the calls
    // are served, so that the worker's next report raises it; signals are looked at at least
    // twenty times a second.
    while (!worker.Finished()) {
        if (StopSignals::requested()) worker.WantToExit = true;
        worker.checkSynchronize();
        waker.wait(std::chrono::milliseconds(50));
    }
    worker.WaitFor();
    progress.finish();
    if (args.timings) std::cerr << "timings: " << clock.report() << std::endl;

    // A stop signal before the document is in place cancels, even when the conversion failed of
    // it (a program it ran was stopped too).
    if (StopSignals::requested()) return cancelled();
    if (conversion.Failed) return kExitFailure;
    if (!staged->written()) {
        std::cerr << "quillet convert: the conversion wrote no document\n";
        return kExitFailure;
    }
    if (!waitWhileInUse(output, ui)) {
        if (StopSignals::requested()) return cancelled();
        std::cerr << "quillet convert: " << toUtf8(output) << " is in use; nothing was written\n";
        return kExitFailure;
    }
    if (StopSignals::requested()) return cancelled();
    try {
        staged->place();
    } catch (const std::system_error& e) {
        std::cerr << "quillet convert: " << e.what() << '\n';
        return kExitFailure;
    }
    // The new document is in place and the old one gone: the run is done, whatever signal
    // comes now.
    std::cout << "Wrote " << toUtf8(output) << std::endl;
    if (args.open) openWithDesktop(output);
    return kExitOk;
}

}  // namespace quillet::cli
