#include "cli/commands.h"

#include "cli/stop_signals.h"
#include "distill/chm_distill.h"
#include "job/chm_to_doc_pdf.h"
#include "platform/temp_files.h"
#include "platform/utf.h"
#include "project/chm_decompile.h"
#include "text/text_files.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace quillet::cli {

namespace {

int cancelled(const char* command) {
    std::cerr << "quillet " << command << ": cancelled\n";
    return kExitCancelled;
}

// A compiled help file starts with "ITSF"; anything else is refused before any work is done.
void requireHelpFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + file + ": " + std::strerror(errno));
    char magic[4] = {};
    in.read(magic, 4);
    if (in.gcount() != 4 || std::string_view(magic, 4) != "ITSF")
        throw std::runtime_error(file + " is not a compiled help file (no ITSF header)");
}

std::string json(const nlohmann::json& value) {
    return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Removes the working folder of a command however it ends.
struct FolderGuard {
    std::u16string folder;
    ~FolderGuard() {
        if (!folder.empty()) DeleteFolder(folder);
    }
};

}  // namespace

int runInfo(const InfoArgs& args) {
    // The help file is unpacked into a working folder of its own, to see which character set
    // its pages declare; a stop signal ends the command at its next check, after the folder
    // has gone.
    const StopSignals stopSignals;
    try {
        requireHelpFile(args.file);
        TCHMDecompile project;
        project.LoadFromCHM(fromUtf8(args.file));
        project.FOnChange = [](const std::u16string&, int) { StopSignals::throwIfRequested(); };
        {
            FolderGuard guard{NewRootFolderName()};
            project.rootFolder = guard.folder;
            project.decompile();
        }
        StopSignals::throwIfRequested();
        if (args.json) {
            std::cout << json({{"title", toUtf8(project.Title)},
                               {"default_topic", toUtf8(project.DefaultPage)},
                               {"language_id", toUtf8(project.LangID)},
                               {"code_page", project.CodePage},
                               {"code_page_source", toUtf8(project.CodePageSource)}})
                      << '\n';
        } else {
            std::cout << "Title: " << toUtf8(project.Title) << '\n'
                      << "Default topic: " << toUtf8(project.DefaultPage) << '\n'
                      << "Language: " << toUtf8(project.LangID) << '\n'
                      << "Code page: " << project.CodePage << " (from the "
                      << toUtf8(project.CodePageSource) << ")\n";
        }
        return kExitOk;
    } catch (const EUserCancel&) {
        return cancelled("info");
    } catch (const std::exception& e) {
        std::cerr << "quillet info: " << e.what() << '\n';
        return kExitFailure;
    }
}

int runContents(const ContentsArgs& args) {
    // A stop signal ends the command at its next check, after its working folder has gone.
    const StopSignals stopSignals;
    try {
        requireHelpFile(args.file);
        TCHMDecompile project;
        project.LoadFromCHM(fromUtf8(args.file));
        project.MaxUnpackSize = args.maxSize;
        project.MaxEntries = args.maxEntries;
        setMaxTextFileBytes(args.maxPageSize);
        project.FOnChange = [](const std::u16string&, int) { StopSignals::throwIfRequested(); };
        FolderGuard guard{NewRootFolderName()};
        project.rootFolder = guard.folder;
        project.decompile();
        StopSignals::throwIfRequested();

        if (args.json) {
            nlohmann::json entries = nlohmann::json::array();
            for (std::size_t i = 0; i < project.List.size(); ++i) {
                const TTitleList& e = project.List[i];
                entries.push_back({{"level", e.Level},
                                   {"topic", toUtf8(e.Topic)},
                                   {"url", toUtf8(e.Url)},
                                   {"status", e.Status},
                                   {"keywords", toUtf8(e.Keywords)}});
            }
            std::cout << json(entries) << '\n';
        } else {
            std::cout << "level\tstatus\ttopic\turl\tkeywords\n";
            for (std::size_t i = 0; i < project.List.size(); ++i) {
                const TTitleList& e = project.List[i];
                std::cout << e.Level << '\t' << e.Status << '\t' << toUtf8(e.Topic) << '\t'
                          << toUtf8(e.Url) << '\t' << toUtf8(e.Keywords) << '\n';
            }
        }
        std::cout.flush();
    } catch (const EUserCancel&) {
        return cancelled("contents");
    } catch (const std::exception& e) {
        std::cerr << "quillet contents: " << e.what() << '\n';
        return kExitFailure;
    }
    // A listing that a stop signal cut short is no listing.
    return StopSignals::requested() ? cancelled("contents") : kExitOk;
}

int runDistill(const DistillArgs& args) {
    TCHMDistill project;
    project.Discard = args.discard;
    project.LinkedHelp = !args.noLinkedHelp;
    project.Addenda = fromUtf8(args.addenda);
    project.AddHint = args.hint.has_value();
    project.HintFormat = fromUtf8(args.hint.value_or("See [Title No.]"));
    project.MaxUnpackSize = args.maxSize;
    project.MaxEntries = args.maxEntries;
    project.holdLimit = args.holdLimit;
    setMaxTextFileBytes(args.maxPageSize);
    const std::filesystem::path folder = std::filesystem::absolute(args.folder);
    std::error_code ec;
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_empty(folder, ec)) {
        std::cerr << "quillet distill: " << folder.string()
                  << " is not empty; name a new or empty folder\n";
        return kExitFailure;
    }
    const bool created = !std::filesystem::exists(folder, ec);
    // Nothing half-made is left: the folder goes if this run made it, else its content.
    const auto removeWork = [&] {
        if (created) {
            std::filesystem::remove_all(folder, ec);
        } else {
            for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
                std::filesystem::remove_all(entry.path(), ec);
        }
    };
    // A stop signal ends the command at its next progress report.
    const StopSignals stopSignals;
    try {
        requireHelpFile(args.file);
        const std::u16string file = fromPath(std::filesystem::absolute(args.file));
        project.FOnChange = [](const std::u16string& info, int) {
            if (!info.empty()) std::cout << toUtf8(info) << std::endl;
            StopSignals::throwIfRequested();
        };
        project.LoadFromCHM(file);
        project.OriginalFile = file;
        project.rootFolder = fromPath(folder) + u"/";
        project.decompile();
        project.Execute();
        StopSignals::throwIfRequested();

        nlohmann::json entries = nlohmann::json::array();
        for (std::size_t i = 0; i < project.List.size(); ++i) {
            const TTitleList& e = project.List[i];
            entries.push_back({{"level", e.Level},
                               {"topic", toUtf8(e.Topic)},
                               {"url", toUtf8(e.Url)},
                               {"status", e.Status},
                               {"chapter", toUtf8(e.ChapterNumber)},
                               {"bookmark", toUtf8(e.Bookmark)}});
        }
        std::ofstream out(folder / "contents.json", std::ios::binary);
        out << json(entries) << '\n';
        if (!out) throw std::runtime_error("cannot write " + (folder / "contents.json").string());
        std::cout << "Distilled " << project.List.size() << " entries into " << folder.string()
                  << '\n';
        return kExitOk;
    } catch (const EUserCancel&) {
        removeWork();
        return cancelled("distill");
    } catch (const std::exception& e) {
        removeWork();
        std::cerr << "quillet distill: " << e.what() << '\n';
        return kExitFailure;
    }
}

}  // namespace quillet::cli
