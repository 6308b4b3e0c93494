// quillet convert: a whole conversion job on a worker thread, with the terminal standing in for
// the progress window and the message boxes.

#include "cli/commands.h"

#include "cli/arguments.h"
#include "cli/staged_output.h"
#include "cli/stop_signals.h"
#include "engine/html/web_page_reader.h"
#include "engine/word_engine.h"
#include "job/output_word.h"
#include "job/paper_sizes.h"
#include "platform/file_in_use.h"
#include "platform/process.h"
#include "platform/utf.h"
#include "text/code_pages.h"
#include "text/language_table.h"
#include "word/word_stage.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>
#include <thread>

namespace quillet::cli {

namespace {

bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

// The progress window on the terminal: one redrawn line on a terminal, else a line per new text.
class TerminalProgress : public ProgressGauge, public TextLine {
public:
    void setProgress(int position) override {
        m_position = position;
        draw();
    }
    void setCaption(const std::u16string& caption) override {
        const bool changed = caption != m_caption;
        m_caption = caption;
        if (m_terminal)
            draw();
        else if (changed && !caption.empty())
            std::cerr << "[" << m_position << "%] " << toUtf8(caption) << std::endl;
    }
    void finish() {
        if (m_terminal && m_drawn) std::cerr << std::endl;
    }

private:
    void draw() {
        if (!m_terminal) return;
        constexpr int kWidth = 30;
        const int filled = std::clamp(m_position, 0, 100) * kWidth / 100;
        std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] " +
                           std::to_string(m_position) + "% " + toUtf8(m_caption);
        if (line.size() < m_lastLength) line += std::string(m_lastLength - line.size(), ' ');
        m_lastLength = line.size();
        std::cerr << line << std::flush;
        m_drawn = true;
    }
    bool m_terminal = stderrIsTerminal();
    bool m_drawn = false;
    int m_position = 0;
    std::u16string m_caption;
    std::size_t m_lastLength = 0;
};

class NoButton : public CaptionButton {
public:
    void setCaption(const std::u16string&) override {}
};

struct Usage {
    std::string message;
};

int parseInt(const std::string& text, const char* what) {
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
    }
    throw Usage{std::string(what) + " must be a whole number, not '" + text + "'"};
}

void parsePaper(const std::string& paper, TDocPDFSettings& s) {
    if (const PaperSize* named = findPaper(paper)) {
        s.PaperSize = named->code;
        return;
    }
    const std::size_t x = paper.find('x');
    if (x == std::string::npos) {
        std::string names;
        for (const PaperSize& known : kPaperSizes)
            if (known.code != kPaperCustom) names += std::string(known.name) + ", ";
        throw Usage{"--paper takes " + names + "or WIDTHxHEIGHT"};
    }
    s.PaperSize = kPaperCustom;
    s.Width = parseInt(paper.substr(0, x), "the paper width");
    s.Height = parseInt(paper.substr(x + 1), "the paper height");
    if (s.Width <= 0 || s.Height <= 0) throw Usage{"the paper size must be positive"};
}

int languageCodePage(const std::string& language) {
    const TLanguages& table = LanguageTable();
    const std::u16string wanted = fromUtf8(language);
    for (int i = 0; i < table.GetCount(); ++i)
        if (table.GetItem(i).Name == wanted) return table.GetItem(i).CodePage;
    if (const int cp = table.GetCodepageById(wanted); cp != 0) return cp;
    throw Usage{"unknown language '" + language +
                "' (give an identifier such as 0x0804 or a name such as "
                "\"Chinese (China)\")"};
}

struct ConvertArgs {
    std::string input, output;
    std::optional<std::string> title, language;
    std::uint64_t maxSize = 0;  // 0: quillet-hh's own limit
    bool open = false;
};

// Word writes .docx and, through LibreOffice, .doc; any other name would get a document of
// another name than the one asked for.
bool isWordDocumentName(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension == ".docx" || extension == ".doc";
}

ConvertArgs parseConvert(const std::vector<std::string>& args, TDocPDFSettings& s) {
    ConvertArgs parsed;
    s.PaperSize = kPaperA4;  // as the main window preselects
    for (std::size_t n = 0; n < args.size(); ++n) {
        const std::string& arg = args[n];
        const auto value = [&]() -> const std::string& {
            if (n + 1 >= args.size()) throw Usage{arg + " needs a value"};
            return args[++n];
        };
        if (arg == "-o" || arg == "--output")
            parsed.output = value();
        else if (arg == "--title")
            parsed.title = value();
        else if (arg == "--language")
            parsed.language = value();
        else if (arg == "--paper")
            parsePaper(value(), s);
        else if (arg == "--margins") {
            const std::string& m = value();
            int parts[4];
            std::size_t start = 0;
            for (int k = 0; k < 4; ++k) {
                const std::size_t comma = m.find(',', start);
                if ((k < 3) == (comma == std::string::npos))
                    throw Usage{"--margins takes TOP,BOTTOM,LEFT,RIGHT"};
                parts[k] = parseInt(m.substr(start, comma - start), "a margin");
                if (parts[k] < 0) throw Usage{"margins cannot be negative"};
                start = comma + 1;
            }
            s.Top = parts[0], s.Bottom = parts[1], s.Left = parts[2], s.Right = parts[3];
        } else if (arg == "--no-cover")
            s.Cover = false;
        else if (arg == "--no-header")
            s.Header = false;
        else if (arg == "--no-footer")
            s.Footer = false;
        else if (arg == "--no-toc")
            s.Toc = false;
        else if (arg == "--toc-levels") {
            s.ShowLevel = parseInt(value(), "--toc-levels");
            if (s.ShowLevel < 1 || s.ShowLevel > 9) throw Usage{"--toc-levels takes 1 to 9"};
        } else if (arg == "--toc-caption")
            s.TOCCaption = fromUtf8(value());
        else if (arg == "--no-numbers")
            s.TitleNumber = false;
        else if (arg == "--hints") {
            s.AddHint = true;
            if (n + 1 < args.size() && !args[n + 1].starts_with("-")) {
                const std::string& next = args[n + 1];
                if (next.find('[') != std::string::npos || next.find(' ') != std::string::npos)
                    s.HintFormat = fromUtf8(args[++n]);
            }
        } else if (arg == "--new-page") {
            const std::string& v = value();
            if (v == "never")
                s.StartNewPage = 0;
            else if (v == "chapter")
                s.StartNewPage = 1;
            else if (v == "topic")
                s.StartNewPage = 2;
            else
                throw Usage{"--new-page takes never, chapter or topic"};
        } else if (arg == "--discard")
            s.Discard = true;
        else if (arg == "--addenda")
            s.Addenda = fromUtf8(value());
        else if (arg == "--heading-font") {
            const std::string& v = value();
            const std::size_t eq = v.find('=');
            if (eq == std::string::npos)
                throw Usage{"--heading-font takes LEVEL=Name,Size,Color,[BIUS]"};
            const int level = parseInt(v.substr(0, eq), "the heading level");
            if (level < 1 || level > 9) throw Usage{"heading levels are 1 to 9"};
            TFont font = s.HeadingFont[level];
            try {
                StringToFont(fromUtf8(v.substr(eq + 1)), font);
            } catch (const std::exception& e) {
                throw Usage{"--heading-font: " + std::string(e.what())};
            }
            s.HeadingFont[level] = font;
        } else if (arg == "--open")
            parsed.open = true;
        else if (arg == "--max-size") {
            const std::optional<std::uint64_t> bytes = parseByteCount(value());
            if (!bytes || *bytes == 0) throw Usage{"--max-size takes a number of bytes"};
            parsed.maxSize = *bytes;
        } else if (arg.starts_with("-"))
            throw Usage{"unknown option '" + arg + "'"};
        else if (parsed.input.empty())
            parsed.input = arg;
        else
            throw Usage{"unexpected argument '" + arg + "'"};
    }
    if (parsed.input.empty()) throw Usage{"name the help file to convert"};
    if (parsed.output.empty())
        parsed.output = std::filesystem::path(parsed.input).replace_extension(".docx").string();
    else if (!isWordDocumentName(parsed.output))
        throw Usage{"the output must be a file name ending in .docx or .doc, not '" +
                    parsed.output + "'"};
    return parsed;
}

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

int runConvert(const std::vector<std::string>& args) {
    auto job = std::make_unique<TChmToDocPDF>();
    ConvertArgs parsed;
    int languageCodePageValue = 0;
    try {
        parsed = parseConvert(args, *job->Settings);
        if (parsed.language) languageCodePageValue = languageCodePage(*parsed.language);
    } catch (const Usage& usage) {
        std::cerr
            << "quillet convert: " << usage.message << "\n"
            << "usage: quillet convert FILE.chm [-o OUT.docx|OUT.doc] [options]  (quillet --help "
               "lists them)\n";
        return kExitUsage;
    }
    if (!std::filesystem::is_regular_file(parsed.input)) {
        std::cerr << "quillet convert: cannot open " << parsed.input << ": there is no such file\n";
        return kExitFailure;
    }
    const std::filesystem::path outputPath = std::filesystem::absolute(parsed.output);
    if (std::error_code ec; std::filesystem::is_directory(outputPath, ec)) {
        std::cerr << "quillet convert: cannot write " << outputPath.string()
                  << ": it is a folder\n";
        return kExitFailure;
    }
    const std::u16string input = fromPath(std::filesystem::absolute(parsed.input));
    const std::u16string output = fromPath(outputPath);

    // From here on a stop signal ends the run through its cleanup: the working folder and the
    // staged document go, the old document stays.
    const StopSignals stopSignals;

    // The title: as given, else the help file's own, decoded in the chosen language's code page.
    std::u16string title;
    try {
        TCHMDecompile project;
        project.LoadFromCHM(input);
        title = languageCodePageValue != 0 ? DecodeCodePage(project.rTitle, languageCodePageValue)
                                           : project.Title;
        if (title.empty()) title = fromPath(std::filesystem::path(parsed.input).stem());
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
    engine::registerWebPageReader();
    TerminalUserInterface ui;
    TerminalProgress progress;
    NoButton button;
    job->pdf = fromPath(staged->path());
    job->Title = parsed.title ? fromUtf8(*parsed.title) : title;
    job->CodePage = languageCodePageValue;
    job->OriginalFile = input;
    job->MaxUnpackSize = parsed.maxSize;
    // The document opens once it is in place, not where the Word stage saved it.
    job->setWordStage(wordStage());
    TChmToDocPDF& conversion = *job;

    TOutputWord worker(true, ui, std::move(job));
    worker.chm = input;
    worker.Gauge1 = &progress;
    worker.lbInfo = &progress;
    worker.btnCancel = &button;

    worker.Start();
    // The main thread serves the worker's calls. A stop signal is passed on before the calls
    // are served, so that the worker's next report raises it.
    while (!worker.Finished()) {
        if (StopSignals::requested()) worker.WantToExit = true;
        worker.checkSynchronize();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    worker.WaitFor();
    progress.finish();

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
    if (parsed.open) openWithDesktop(output);
    return kExitOk;
}

}  // namespace quillet::cli
