#include "cli/command_line.h"

#include "job/paper_sizes.h"
#include "platform/ascii.h"
#include "platform/utf.h"
#include "text/language_table.h"

#include "quillet/version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <string>

namespace quillet::cli {

namespace {

// ---- Reading values ----

// Thrown by the readers of option values: what the option takes, and why this value is not it
// when that needs saying. The option's declaration turns it into a message naming the option.
struct Refusal {
    std::string takes;
    std::string why;
};

// A whole number in decimal (leading blanks and a sign allowed); empty for anything else.
std::optional<int> wholeNumber(const std::string& text) {
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// A count such as the BYTES of --max-size: decimal digits only, at least 1.
std::uint64_t byteCount(const std::string& text, const char* takes = "a number of bytes") {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0)
        throw Refusal{takes, {}};
    return value;
}

// What --paper takes: "letter|tabloid|legal|a3|a4|b5|WxH".
std::string paperNames() {
    std::string names;
    for (const PaperSize& paper : kPaperSizes)
        if (paper.code != kPaperCustom) names += std::string(paper.name) + "|";
    return names + "WxH";
}

// A named paper, or WIDTHxHEIGHT in millimetres for custom paper.
void readPaper(const std::string& text, TDocPDFSettings& s) {
    if (const PaperSize* named = findPaper(text)) {
        s.PaperSize = named->code;
        return;
    }
    const Refusal refusal{paperNames() + " (sizes in whole millimetres)", {}};
    const std::size_t x = text.find('x');
    if (x == std::string::npos) throw refusal;
    const std::optional<int> width = wholeNumber(text.substr(0, x));
    const std::optional<int> height = wholeNumber(text.substr(x + 1));
    if (!width || !height) throw refusal;
    if (*width <= 0 || *height <= 0) throw Refusal{refusal.takes, "the size must be positive"};
    s.PaperSize = kPaperCustom;
    s.Width = *width;
    s.Height = *height;
}

// TOP,BOTTOM,LEFT,RIGHT in millimetres.
void readMargins(const std::string& text, TDocPDFSettings& s) {
    const Refusal refusal{"TOP,BOTTOM,LEFT,RIGHT in whole millimetres", {}};
    int parts[4];
    std::size_t start = 0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t comma = text.find(',', start);
        if ((k < 3) == (comma == std::string::npos)) throw refusal;
        const std::optional<int> margin = wholeNumber(text.substr(start, comma - start));
        if (!margin) throw refusal;
        if (*margin < 0) throw Refusal{refusal.takes, "margins cannot be negative"};
        parts[k] = *margin;
        start = comma + 1;
    }
    s.Top = parts[0], s.Bottom = parts[1], s.Left = parts[2], s.Right = parts[3];
}

// Where topics start a new page, by TDocPDFSettings::StartNewPage.
constexpr const char* kNewPageNames[] = {"never", "chapter", "topic"};

// What --new-page takes: "never|chapter|topic".
std::string newPageNames() {
    std::string names;
    for (const char* name : kNewPageNames) names += std::string(names.empty() ? "" : "|") + name;
    return names;
}

// LEVEL=Name,Size,Color,[BIUS]: the font of one heading level.
void readHeadingFont(const std::string& text, TDocPDFSettings& s) {
    const std::string takes = "LEVEL=Name,Size,Color,[BIUS] with LEVEL 1 to 9";
    const std::size_t eq = text.find('=');
    const std::optional<int> level =
        eq == std::string::npos ? std::nullopt : wholeNumber(text.substr(0, eq));
    if (!level || *level < 1 || *level > 9) throw Refusal{takes, {}};
    TFont font = s.HeadingFont[*level];
    try {
        StringToFont(fromUtf8(text.substr(eq + 1)), font);
    } catch (const std::exception& e) {
        throw Refusal{takes, e.what()};
    }
    s.HeadingFont[*level] = font;
}

// A language by its name in the language table or its identifier: the code page it stands for.
int languageCodePage(const std::string& language) {
    const TLanguages& table = LanguageTable();
    const std::u16string wanted = fromUtf8(language);
    for (int i = 0; i < table.GetCount(); ++i)
        if (table.GetItem(i).Name == wanted) return table.GetItem(i).CodePage;
    if (const int cp = table.GetCodepageById(wanted); cp != 0) return cp;
    throw Refusal{"a language identifier such as 0x0804 or a name such as \"Chinese (China)\"", {}};
}

// Word writes .docx and, through LibreOffice, .doc and .pdf; any other name would get a document
// of another name than the one asked for.
bool isOutputName(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    return equalsIgnoringAsciiCase(extension, ".docx") ||
           equalsIgnoringAsciiCase(extension, ".doc") || equalsIgnoringAsciiCase(extension, ".pdf");
}

// ---- Declaring options ----

// An option with a value, `names` as CLI11 takes them ("-o,--output"). Each time it is given,
// `read` takes its value in command-line order, so the last one counts and every one is checked.
// A Refusal becomes a message naming the option as the first of `names`.
CLI::Option* addValue(CLI::App& command, const std::string& names, const std::string& valueName,
                      const std::string& description,
                      std::function<void(const std::string&)> read) {
    const std::string shown = names.substr(0, names.find(','));
    CLI::Option* option = command.add_option(
        names,
        [shown, read = std::move(read)](const CLI::results_t& values) {
            for (const std::string& value : values) {
                try {
                    read(value);
                } catch (const Refusal& refusal) {
                    std::string message = shown + " takes " + refusal.takes;
                    message += ", not '" + value + "'";
                    if (!refusal.why.empty()) message += ": " + refusal.why;
                    throw CLI::ValidationError(message);
                }
            }
            return true;
        },
        description);
    return option->type_name(valueName)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void addHelpFile(CLI::App& command, std::string& file) {
    command.add_option("FILE.chm", file, "the compiled help file")->required();
}

void addJson(CLI::App& command, bool& json) {
    command.add_flag("--json", json, "print JSON");
}

// Every command that unpacks a help file takes its limits: --max-size, --max-page-size and
// --max-entries.
template <typename Args>
void addLimits(CLI::App& command, Args& args) {
    addValue(command, "--max-size", "BYTES", "unpack at most BYTES bytes from the help file",
             [&args](const std::string& value) { args.maxSize = byteCount(value); })
        ->default_str("200 times its size, at least 64 MiB");
    addValue(command, "--max-page-size", "BYTES",
             "read no page, style sheet or contents file larger than BYTES",
             [&args](const std::string& value) { args.maxPageSize = byteCount(value); })
        ->default_str(std::to_string(kDefaultMaxTextFileBytes));
    addValue(command, "--max-entries", "N", "take on at most N contents entries and pages",
             [&args](const std::string& value) {
                 const std::uint64_t count = byteCount(value, "a number of entries");
                 if (count > std::numeric_limits<std::size_t>::max() / 2)
                     throw Refusal{"a number of entries", "too large"};
                 args.maxEntries = static_cast<std::size_t>(count);
             })
        ->default_str(std::to_string(TCHMDecompile::kDefaultMaxEntries));
}

// The commands that distil take --hold-limit: how many bytes of distilled pages are kept in memory
// between the steps before pages are written as they change.
template <typename Args>
void addHoldLimit(CLI::App& command, Args& args) {
    addValue(command, "--hold-limit", "BYTES",
             "keep at most BYTES of distilled pages in memory between the steps",
             [&args](const std::string& value) {
                 const std::uint64_t bytes = byteCount(value);
                 if (bytes > std::numeric_limits<std::size_t>::max() / 2)
                     throw Refusal{"a number of bytes", "too large"};
                 args.holdLimit = static_cast<std::size_t>(bytes);
             })
        ->default_str(std::to_string(WorkingFiles::kDefaultHoldLimit));
}

// `--hints` takes its FORMAT only when the next argument looks like one: it holds '[' or a space
// and does not start with '-'. So `--hints guide.chm` still names the help file. CLI11 would take
// any next argument, so such a FORMAT is joined to its option first, as `--hints=FORMAT`.
std::vector<std::string> joinHintFormats(const std::vector<std::string>& args) {
    std::vector<std::string> joined;
    for (std::size_t n = 0; n < args.size(); ++n) {
        joined.push_back(args[n]);
        if (args[n] != "--hints" || n + 1 == args.size()) continue;
        const std::string& next = args[n + 1];
        if (!next.starts_with("-") && next.find_first_of("[ ") != std::string::npos)
            joined.back() += "=" + args[++n];
    }
    return joined;
}

void declareInfo(CLI::App& app, InfoArgs& args) {
    CLI::App& command =
        *app.add_subcommand("info", "show the title, default topic, language and code page");
    addHelpFile(command, args.file);
    addJson(command, args.json);
}

void declareContents(CLI::App& app, ContentsArgs& args) {
    CLI::App& command = *app.add_subcommand(
        "contents", "list the contents entries (level, status, title, page, index keywords)");
    addHelpFile(command, args.file);
    addJson(command, args.json);
    addLimits(command, args);
}

void declareDistill(CLI::App& app, DistillArgs& args) {
    CLI::App& command =
        *app.add_subcommand("distill", "unpack and distil into DIR, with DIR/contents.json");
    addHelpFile(command, args.file);
    command.add_option("DIR", args.folder, "a new or empty folder")->required();
    command.add_flag("--discard", args.discard, "leave out pages outside the contents");
    command.add_flag("--no-linked-help", args.noLinkedHelp,
                     "read no other help file that pages link to (ms-its:other.chm::/page.htm)");
    addValue(command, "--addenda", "TEXT", "the heading of pages outside the contents",
             [&args](const std::string& value) { args.addenda = value; })
        ->default_str(args.addenda);
    addValue(command, "--hint", "FORMAT",
             "a hint after links between topics, \"[Title No.]\" standing for the target's "
             "chapter number",
             [&args](const std::string& value) { args.hint = value; });
    addLimits(command, args);
    addHoldLimit(command, args);
}

void declareConvert(CLI::App& app, ConvertArgs& args) {
    CLI::App& command = *app.add_subcommand(
        "convert",
        "convert into a Word document or a PDF (default: FILE.docx); the output name must end in "
        ".docx, .doc or .pdf");
    TDocPDFSettings& s = args.settings;
    s.PaperSize = kPaperA4;  // as the main window preselects
    const auto text = [](std::u16string& field) {
        return [&field](const std::string& value) { field = fromUtf8(value); };
    };
    const auto clear = [](bool& field) { return [&field] { field = false; }; };

    command.add_option("FILE.chm", args.inputs, "the compiled help files, or folders of them")
        ->required();
    addValue(command, "-o,--output", "OUT.docx|OUT.doc|OUT.pdf", "the document to write",
             [&args](const std::string& value) {
                 if (!isOutputName(value))
                     throw Refusal{"a file name ending in .docx, .doc or .pdf", {}};
                 args.output = value;
             })
        ->default_str("FILE.docx");
    addValue(command, "--title", "TEXT", "the document title", [&args](const std::string& value) {
        args.title = value;
    })->default_str("the help file's title");
    addValue(command, "--language", "ID|NAME",
             "the language whose code page decodes the title and contents",
             [&args](const std::string& value) { args.codePage = languageCodePage(value); });
    addValue(command, "--paper", paperNames(), "paper, or its size in mm",
             [&s](const std::string& value) { readPaper(value, s); })
        ->default_str(
            std::string(kPaperSizes[static_cast<std::size_t>(paperIndex(s.PaperSize))].name));
    addValue(command, "--margins", "T,B,L,R", "margins in mm",
             [&s](const std::string& value) { readMargins(value, s); })
        ->default_str(std::to_string(s.Top) + "," + std::to_string(s.Bottom) + "," +
                      std::to_string(s.Left) + "," + std::to_string(s.Right));
    command.add_flag_callback("--no-cover", clear(s.Cover), "no cover page");
    command.add_flag_callback("--no-header", clear(s.Header), "no page header");
    command.add_flag_callback("--no-footer", clear(s.Footer), "no page footer");
    command.add_flag_callback("--no-toc", clear(s.Toc), "no table of contents");
    addValue(command, "--toc-levels", "N", "heading levels in the contents, 1-9",
             [&s](const std::string& value) {
                 const std::optional<int> levels = wholeNumber(value);
                 if (!levels || *levels < 1 || *levels > 9) throw Refusal{"1 to 9", {}};
                 s.ShowLevel = *levels;
             })
        ->default_str(std::to_string(s.ShowLevel));
    addValue(command, "--toc-caption", "TEXT", "the caption above the contents", text(s.TOCCaption))
        ->default_str(toUtf8(s.TOCCaption));
    command.add_flag_callback("--no-numbers", clear(s.TitleNumber),
                              "no chapter numbers before the headings");
    // A bare --hints keeps the format; see joinHintFormats for when it takes the next argument.
    addValue(command, "--hints", "[FORMAT]", "a hint after links between topics",
             [&s](const std::string& value) {
                 s.AddHint = true;
                 if (!value.empty()) s.HintFormat = fromUtf8(value);
             })
        ->expected(0, 0)
        ->default_str(toUtf8(s.HintFormat));
    addValue(command, "--new-page", newPageNames(), "where topics start a new page",
             [&s](const std::string& value) {
                 for (int i = 0; i < static_cast<int>(std::size(kNewPageNames)); ++i)
                     if (value == kNewPageNames[i]) {
                         s.StartNewPage = i;
                         return;
                     }
                 throw Refusal{newPageNames(), {}};
             })
        ->default_str(kNewPageNames[s.StartNewPage]);
    command.add_flag_callback(
        "--discard", [&s] { s.Discard = true; }, "leave out pages outside the contents");
    command.add_flag_callback(
        "--no-linked-help", [&s] { s.LinkedHelp = false; },
        "read no other help file that pages link to (ms-its:other.chm::/page.htm)");
    command.add_flag_callback("--no-index", clear(s.Index),
                              "no index at the back from the help file's index keywords");
    addValue(command, "--addenda", "TEXT", "the heading of pages outside the contents",
             text(s.Addenda))
        ->default_str(toUtf8(s.Addenda));
    addValue(command, "--heading-font", "L=Name,Size,Color,[BIUS]", "font of heading level L",
             [&s](const std::string& value) { readHeadingFont(value, s); })
        ->default_str(toUtf8(s.HeadingFont[1].Name));
    addValue(command, "--office-time-limit", "MINUTES",
             "how long LibreOffice may take over a .doc or .pdf; 0 for no limit",
             [&args](const std::string& value) {
                 const std::optional<int> minutes = wholeNumber(value);
                 if (!minutes || *minutes < 0) throw Refusal{"a number of minutes, 0 or more", {}};
                 args.officeTimeLimit = std::chrono::minutes(*minutes);
             })
        ->default_str(std::to_string(engine::kDefaultOfficeTimeLimit.count()));
    addValue(command, "-O,--output-folder", "DIR",
             "with several help files: write each document into DIR",
             [&args](const std::string& value) {
                 if (value.empty()) throw Refusal{"a folder", {}};
                 args.outputFolder = value;
             })
        ->default_str("beside each help file");
    addValue(command, "-j,--jobs", "N", "with several help files: convert N at a time",
             [&args](const std::string& value) {
                 const std::optional<int> jobs = wholeNumber(value);
                 if (!jobs || *jobs < 1 || *jobs > 256) throw Refusal{"1 to 256", {}};
                 args.jobs = static_cast<unsigned>(*jobs);
             })
        ->default_str("the number of cores");
    addValue(command, "--format", "docx|doc|pdf", "with several help files: what to write",
             [&args](const std::string& value) {
                 if (value != "docx" && value != "doc" && value != "pdf")
                     throw Refusal{"docx, doc or pdf", {}};
                 args.outputFormat = value;
             })
        ->default_str(args.outputFormat);
    command.add_flag("--json-progress", args.jsonProgress,
                     "report progress as JSON lines (stage, percent, message) on standard error");
    command.add_flag("--open", args.open, "open the document when done");
    command.add_flag("--timings", args.timings,
                     "print each stage's wall time and the peak memory to standard error");
    addLimits(command, args);
    addHoldLimit(command, args);
}

// ---- Help ----

constexpr std::size_t kHelpColumn = 30;  // where descriptions start
constexpr std::size_t kHelpWidth = 96;   // where they wrap

// One entry of the help: `left` from the third column, `text` wrapped beside it (or below, when
// `left` is too long).
void helpRow(std::ostream& out, const std::string& left, const std::string& text) {
    std::string line = "  " + left;
    if (line.size() + 2 > kHelpColumn) {
        out << line << '\n';
        line.clear();
    }
    line.resize(kHelpColumn, ' ');
    bool empty = true;  // no word of `text` on `line` yet
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (!empty && line.size() + 1 + word.size() > kHelpWidth) {
            out << line << '\n';
            line.assign(kHelpColumn, ' ');
            empty = true;
        }
        if (!empty) line += ' ';
        line += word;
        empty = false;
    }
    out << line.substr(0, line.find_last_not_of(' ') + 1) << '\n';
}

// "-o, --output OUT.docx|OUT.doc|OUT.pdf", or with `shortest` "-o OUT.docx|OUT.doc|OUT.pdf".
std::string optionName(const CLI::Option& option, bool shortest = false) {
    std::string name;
    for (const std::string& s : option.get_snames()) name += (name.empty() ? "-" : ", -") + s;
    for (const std::string& l : option.get_lnames())
        if (!shortest || name.empty()) name += (name.empty() ? "--" : ", --") + l;
    const std::string value = option.get_type_name();
    return value.empty() ? name : name + " " + value;
}

std::vector<CLI::App*> commandsOf(CLI::App& app) {
    return app.get_subcommands([](CLI::App*) { return true; });
}

std::vector<const CLI::Option*> optionsOf(const CLI::App& command) {
    return command.get_options([](const CLI::Option* o) { return o->nonpositional(); });
}

// "FILE.chm [-o OUT.docx|OUT.doc|OUT.pdf] [options]": the arguments, then each option while there
// are few, else those with a short name and "[options]" for the rest.
std::string synopsis(const CLI::App& command) {
    std::string line;
    for (const CLI::Option* o :
         command.get_options([](const CLI::Option* o) { return o->get_positional(); }))
        line += (line.empty() ? "" : " ") + o->get_name(true);
    const std::vector<const CLI::Option*> options = optionsOf(command);
    constexpr std::size_t kListed = 4;
    bool rest = false;
    for (const CLI::Option* o : options) {
        if (options.size() <= kListed || !o->get_snames().empty())
            line += " [" + optionName(*o, true) + "]";
        else
            rest = true;
    }
    return rest ? line + " [options]" : line;
}

// What a command's usage error ends with.
std::string usageLine(const CLI::App& command) {
    const std::string program = command.get_parent()->get_name();
    const std::string line =
        "usage: " + program + " " + command.get_name() + " " + synopsis(command);
    if (!line.ends_with("[options]")) return line + "\n";
    return line + "  (" + program + " --help lists them)\n";
}

// The whole help of the program from its declarations: the commands with their synopses, each
// command's options with their defaults, the program's own options and the closing notes.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
        std::ostringstream out;
        const std::string name = app->get_name();
        std::string own;
        for (const CLI::Option* o : optionsOf(*app))
            own += (own.empty() ? "" : " | ") + o->get_name();
        out << "Usage: " << name << " COMMAND [ARGUMENTS]\n"
            << "       " << name << " " << own << "\n\n"
            << app->get_description() << "\n\nCommands:\n";
        const auto commands = app->get_subcommands([](const CLI::App*) { return true; });
        for (const CLI::App* command : commands)
            helpRow(out, command->get_name() + " " + synopsis(*command),
                    command->get_description());
        for (const CLI::App* command : commands) {
            const std::vector<const CLI::Option*> options = optionsOf(*command);
            bool defaults = false;
            for (const CLI::Option* o : options) defaults |= !o->get_default_str().empty();
            out << "\nOptions of " << command->get_name()
                << (defaults ? " (defaults in brackets):\n" : ":\n");
            for (const CLI::Option* o : options) {
                const std::string byDefault = o->get_default_str();
                helpRow(out, optionName(*o),
                        o->get_description() + (byDefault.empty() ? "" : " [" + byDefault + "]"));
            }
        }
        out << "\nOptions:\n";
        for (const CLI::Option* o : optionsOf(*app))
            helpRow(out, optionName(*o), o->get_description());
        out << '\n' << app->get_footer();
        return out.str();
    }
};

}  // namespace

// The batch options only the whole run takes; every other option given is passed on to each
// single conversion of a batch.
bool batchOnly(const CLI::Option& option) {
    return option.check_lname("output-folder") || option.check_lname("jobs") ||
           option.check_lname("format") || option.check_lname("output") ||
           option.check_lname("open") || option.get_positional();
}

// Fills in what the options left open: single or batch, the output's name, the passed-on
// options. A batch given -o or --open is a usage error.
CommandLine finishConvert(const CLI::App& command, ConvertArgs& convert) {
    const auto usage = [&](const std::string& message) {
        return UsageError{"quillet convert: " + message + "\n" + usageLine(command)};
    };
    convert.input = convert.inputs.front();
    std::error_code ec;
    convert.batch = convert.inputs.size() > 1 || !convert.outputFolder.empty() ||
                    std::filesystem::is_directory(convert.input, ec);
    if (!convert.batch) {
        if (command.count("--format") > 0 || command.count("--jobs") > 0)
            return usage("--format and -j are for several help files; name the document with -o");
        if (convert.output.empty())
            convert.output =
                std::filesystem::path(convert.input).replace_extension(".docx").string();
        return convert;
    }
    if (!convert.output.empty())
        return usage("-o names one document; with several help files, give -O DIR");
    if (convert.open) return usage("--open is for one help file");
    for (const CLI::Option* option : command.get_options()) {
        if (option->count() == 0 || batchOnly(*option)) continue;
        const std::string name = option->get_name(false, true);
        if (option->get_type_size() == 0 || option->get_expected_max() == 0) {
            // A flag, or --hints with or without its format.
            const std::vector<std::string> values = option->results();
            const bool valued = !values.empty() && !values.back().empty() &&
                                values.back() != "true" && option->check_lname("hints");
            convert.passedOn.push_back(valued ? name + "=" + values.back() : name);
            continue;
        }
        for (const std::string& value : option->results())
            convert.passedOn.push_back(name + "=" + value);
    }
    return convert;
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CLI::App app("Quillet turns a compiled HTML Help file (.chm) into one Word document.",
                 "quillet");
    app.formatter(std::make_shared<HelpFormatter>());
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("-V,--version", std::string("quillet ") + QUILLET_VERSION,
                         "show the version and exit");
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 done, 1 failed (the reason is on standard error), 2 wrong usage,\n"
        "130 stopped by Ctrl-C, a hang-up or SIGTERM before the work was done (contents,\n"
        "distill and convert then leave nothing behind; an existing document stays as it was).\n");
    // An option given twice counts as given last, as a flag given twice is simply given.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    InfoArgs info;
    ContentsArgs contents;
    DistillArgs distill;
    ConvertArgs convert;
    declareInfo(app, info);
    declareContents(app, contents);
    declareDistill(app, distill);
    declareConvert(app, convert);
    // Only the program has --help: a command's usage error points there.
    for (CLI::App* command : commandsOf(app)) command->set_help_flag();

    std::vector<std::string> reversed = joinHintFormats(args);
    std::reverse(reversed.begin(), reversed.end());  // CLI11 takes its arguments last first
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return ShowHelp{app.help()};
    } catch (const CLI::CallForVersion& version) {
        return ShowVersion{std::string(version.what()) + "\n"};
    } catch (const CLI::ParseError& error) {
        for (const CLI::App* command : commandsOf(app)) {
            if (command->count() == 0) continue;
            // An argument the command does not take is the first thing to say, whatever else
            // is missing.
            const std::vector<std::string> extra = command->remaining();
            const std::string message =
                extra.empty() ? error.what() : "unexpected argument '" + extra.front() + "'";
            return UsageError{"quillet " + command->get_name() + ": " + message + "\n" +
                              usageLine(*command)};
        }
        const std::vector<std::string> extra = app.remaining();
        if (extra.empty()) return UsageError{app.help()};
        return UsageError{"quillet: unknown option or command '" + extra.front() + "'\n\n" +
                          app.help()};
    }

    if (app.got_subcommand("info")) return info;
    if (app.got_subcommand("contents")) return contents;
    if (app.got_subcommand("distill")) return distill;
    return finishConvert(*app.get_subcommand("convert"), convert);
}

}  // namespace quillet::cli
