#include "cli/commands.h"

#include "cli/arguments.h"
#include "cli/stop_signals.h"
#include "distill/chm_distill.h"
#include "job/chm_to_doc_pdf.h"
#include "platform/temp_files.h"
#include "platform/utf.h"
#include "project/chm_decompile.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

namespace quillet::cli {

namespace {

struct FileArgs {
    std::string file;
    bool json = false;
    std::uint64_t maxSize = 0;  // 0: quillet-hh's own limit
};

// FILE.chm [--json], and [--max-size BYTES] for a command that unpacks.
std::optional<FileArgs> parseFileArgs(const char* command, const std::vector<std::string>& args,
                                      bool unpacks) {
    const std::string usage = std::string("usage: quillet ") + command + " FILE.chm [--json]" +
                              (unpacks ? " [--max-size BYTES]\n" : "\n");
    FileArgs parsed;
    for (std::size_t n = 0; n < args.size(); ++n) {
        const std::string& arg = args[n];
        if (arg == "--json") {
            parsed.json = true;
        } else if (unpacks && arg == "--max-size") {
            const auto bytes = n + 1 < args.size() ? parseByteCount(args[++n]) : std::nullopt;
            if (!bytes || *bytes == 0) {
                std::cerr << "quillet " << command << ": --max-size takes a number of bytes\n"
                          << usage;
                return std::nullopt;
            }
            parsed.maxSize = *bytes;
        } else if (arg.starts_with("-") || !parsed.file.empty()) {
            std::cerr << "quillet " << command << ": unexpected argument '" << arg << "'\n"
                      << usage;
            return std::nullopt;
        } else {
            parsed.file = arg;
        }
    }
    if (parsed.file.empty()) {
        std::cerr << usage;
        return std::nullopt;
    }
    return parsed;
}

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

int runInfo(const std::vector<std::string>& args) {
    // Reading the system information makes nothing on disk, so a stop signal may end it at once.
    const auto parsed = parseFileArgs("info", args, false);
    if (!parsed) return kExitUsage;
    try {
        requireHelpFile(parsed->file);
        TCHMDecompile project;
        project.LoadFromCHM(fromUtf8(parsed->file));
        if (parsed->json) {
            std::cout << json({{"title", toUtf8(project.Title)},
                               {"default_topic", toUtf8(project.DefaultPage)},
                               {"language_id", toUtf8(project.LangID)},
                               {"code_page", project.CodePage}})
                      << '\n';
        } else {
            std::cout << "Title: " << toUtf8(project.Title) << '\n'
                      << "Default topic: " << toUtf8(project.DefaultPage) << '\n'
                      << "Language: " << toUtf8(project.LangID) << '\n'
                      << "Code page: " << project.CodePage << '\n';
        }
        return kExitOk;
    } catch (const std::exception& e) {
        std::cerr << "quillet info: " << e.what() << '\n';
        return kExitFailure;
    }
}

int runContents(const std::vector<std::string>& args) {
    const auto parsed = parseFileArgs("contents", args, true);
    if (!parsed) return kExitUsage;
    // A stop signal ends the command at its next check, after its working folder has gone.
    const StopSignals stopSignals;
    try {
        requireHelpFile(parsed->file);
        TCHMDecompile project;
        project.LoadFromCHM(fromUtf8(parsed->file));
        project.MaxUnpackSize = parsed->maxSize;
        project.FOnChange = [](const std::u16string&, int) { StopSignals::throwIfRequested(); };
        FolderGuard guard{NewRootFolderName()};
        project.rootFolder = guard.folder;
        project.decompile();
        StopSignals::throwIfRequested();

        if (parsed->json) {
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

int runDistill(const std::vector<std::string>& args) {
    const char* usage =
        "usage: quillet distill FILE.chm DIR [--discard] [--addenda TEXT] [--hint FORMAT] "
        "[--max-size BYTES]\n";
    std::vector<std::string> positional;
    TCHMDistill project;
    project.Addenda = u"Addenda";
    project.HintFormat = u"See [Title No.]";
    for (std::size_t n = 0; n < args.size(); ++n) {
        const std::string& arg = args[n];
        const bool hasValue = n + 1 < args.size();
        if (arg == "--discard") {
            project.Discard = true;
        } else if (arg == "--addenda" && hasValue) {
            project.Addenda = fromUtf8(args[++n]);
        } else if (arg == "--hint" && hasValue) {
            project.AddHint = true;
            project.HintFormat = fromUtf8(args[++n]);
        } else if (arg == "--max-size") {
            const auto bytes = hasValue ? parseByteCount(args[++n]) : std::nullopt;
            if (!bytes || *bytes == 0) {
                std::cerr << "quillet distill: --max-size takes a number of bytes\n" << usage;
                return kExitUsage;
            }
            project.MaxUnpackSize = *bytes;
        } else if (arg.starts_with("-")) {
            std::cerr << "quillet distill: unexpected argument '" << arg << "'\n" << usage;
            return kExitUsage;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        std::cerr << usage;
        return kExitUsage;
    }
    const std::filesystem::path folder = std::filesystem::absolute(positional[1]);
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
        requireHelpFile(positional[0]);
        const std::u16string file = fromPath(std::filesystem::absolute(positional[0]));
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
