// The quillet command's command line, declared once with CLI11: each command's and option's name,
// value, default, check and help line stand together in command_line.cpp, and `quillet --help` is
// written from them. Parsing runs no command and opens no file.
#pragma once

#include "distill/working_files.h"
#include "engine/doc_export.h"
#include "job/doc_settings.h"
#include "project/chm_decompile.h"
#include "text/text_files.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quillet::cli {

// quillet info FILE.chm [--json]
struct InfoArgs {
    std::string file;
    bool json = false;
};

// quillet contents FILE.chm [--json] [--max-size BYTES] [--max-page-size BYTES] [--max-entries N]
struct ContentsArgs {
    std::string file;
    bool json = false;
    std::uint64_t maxSize = 0;                                   // 0: quillet-hh's own limit
    std::uint64_t maxPageSize = kDefaultMaxTextFileBytes;        // bytes of one text file
    std::size_t maxEntries = TCHMDecompile::kDefaultMaxEntries;  // entries and pages
};

// quillet distill FILE.chm DIR [--discard] [--addenda TEXT] [--hint FORMAT] [--max-size BYTES]
struct DistillArgs {
    std::string file;
    std::string folder;
    bool discard = false;
    bool noLinkedHelp = false;
    std::string addenda = "Addenda";
    std::optional<std::string> hint;  // the hint format; none: no hints after links
    std::uint64_t maxSize = 0;
    std::uint64_t maxPageSize = kDefaultMaxTextFileBytes;        // bytes of one text file
    std::size_t maxEntries = TCHMDecompile::kDefaultMaxEntries;  // entries and pages
    std::size_t holdLimit = WorkingFiles::kDefaultHoldLimit;     // bytes of pages held
};

// quillet convert FILE.chm... [-o OUT.docx|OUT.doc|OUT.pdf] [-O DIR] [-j N] [options]
struct ConvertArgs {
    std::string input;                // the first help file or folder given
    std::vector<std::string> inputs;  // every one, in order
    std::string output;               // as given, else the input's name ending in .docx
    // Several help files, a folder of them, or -O: each is converted into its own document
    // by a quillet convert of its own, `jobs` at a time, into `outputFolder` (empty: beside each
    // help file), as `outputFormat` ("docx", "doc" or "pdf").
    bool batch = false;
    std::string outputFolder;
    std::string outputFormat = "docx";
    unsigned jobs = 0;  // 0: as many as the machine has cores
    // The options given, as each single conversion of a batch takes them again.
    std::vector<std::string> passedOn;
    bool jsonProgress = false;  // a JSON line per progress report on standard error
    std::optional<std::string> title;
    int codePage = 0;  // of the language given; 0: none given
    std::uint64_t maxSize = 0;
    std::uint64_t maxPageSize = kDefaultMaxTextFileBytes;        // bytes of one text file
    std::size_t maxEntries = TCHMDecompile::kDefaultMaxEntries;  // entries and pages
    std::size_t holdLimit = WorkingFiles::kDefaultHoldLimit;     // bytes of pages held
    bool open = false;
    bool timings = false;  // each stage's wall time and the peak memory on standard error
    // How long LibreOffice may work on a .doc or .pdf; zero for no limit.
    std::chrono::minutes officeTimeLimit = engine::kDefaultOfficeTimeLimit;
    TDocPDFSettings settings;
};

// `quillet --help`: the text for standard output.
struct ShowHelp {
    std::string text;
};

// `quillet --version`: the line for standard output.
struct ShowVersion {
    std::string text;
};

// A command line that is not one: what to print on standard error. The first line names the
// option or argument at fault; a usage line of the command follows.
struct UsageError {
    std::string message;
};

using CommandLine = std::variant<ShowHelp, ShowVersion, InfoArgs, ContentsArgs, DistillArgs,
                                 ConvertArgs, UsageError>;

// Reads the arguments that follow the program's name. Every value is checked here: a wrong one
// gives a UsageError, never an exception.
CommandLine parseCommandLine(const std::vector<std::string>& args);

}  // namespace quillet::cli
