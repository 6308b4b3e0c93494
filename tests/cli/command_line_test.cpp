// The command line as parsed in-process: what each option sets, and which values are usage errors.

#include "cli/command_line.h"

#include "job/paper_sizes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <functional>
#include <string>
#include <vector>

namespace quillet::cli {
namespace {

std::string joined(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) line += (line.empty() ? "" : " ") + arg;
    return line;
}

std::string usageMessage(const CommandLine& line) {
    const auto* error = std::get_if<UsageError>(&line);
    return error ? error->message : "(no usage error)";
}

TEST(CommandLine, ConvertOptionsSetTheirSettings) {
    struct Case {
        std::vector<std::string> args;  // after "convert"
        std::function<void(const ConvertArgs&)> check;
    };
    const Case kCases[] = {
        {{"guide.chm"},
         [](const ConvertArgs& a) {
             EXPECT_EQ(a.input, "guide.chm");
             EXPECT_EQ(a.output, "guide.docx");
             EXPECT_EQ(a.settings.PaperSize, kPaperA4);
             EXPECT_EQ(a.settings.Top, 25);
             EXPECT_EQ(a.settings.Right, 30);
             EXPECT_EQ(a.settings.ShowLevel, 3);
             EXPECT_FALSE(a.settings.AddHint);
             EXPECT_FALSE(a.title.has_value());
             EXPECT_EQ(a.codePage, 0);
             EXPECT_EQ(a.maxSize, 0u);
             EXPECT_FALSE(a.open);
             EXPECT_FALSE(a.timings);
         }},
        {{"guide.chm", "--paper", "210x297"},
         [](const ConvertArgs& a) {
             EXPECT_EQ(a.settings.PaperSize, kPaperCustom);
             EXPECT_EQ(a.settings.Width, 210);
             EXPECT_EQ(a.settings.Height, 297);
         }},
        {{"guide.chm", "--paper", "b5"},
         [](const ConvertArgs& a) { EXPECT_EQ(a.settings.PaperSize, 11); }},
        {{"guide.chm", "--paper", "tabloid"},
         [](const ConvertArgs& a) { EXPECT_EQ(a.settings.PaperSize, 23); }},
        {{"guide.chm", "--margins", "10,20,0,40"},
         [](const ConvertArgs& a) {
             EXPECT_EQ(a.settings.Top, 10);
             EXPECT_EQ(a.settings.Bottom, 20);
             EXPECT_EQ(a.settings.Left, 0);
             EXPECT_EQ(a.settings.Right, 40);
         }},
        {{"guide.chm", "--heading-font", "2=Arial,12,255,[BI]", "--heading-font",
          "2=DejaVu Serif,14,0,[]", "--heading-font", "9=Times,8,0,[S]"},
         [](const ConvertArgs& a) {
             EXPECT_EQ(FontToString(a.settings.HeadingFont[2]), u"DejaVu Serif,14,0,[]");
             EXPECT_EQ(FontToString(a.settings.HeadingFont[9]), u"Times,8,0,[S]");
             EXPECT_EQ(FontToString(a.settings.HeadingFont[1]), u"Calibri,27,0,[]");
         }},
        {{"guide.chm", "--new-page", "chapter"},
         [](const ConvertArgs& a) { EXPECT_EQ(a.settings.StartNewPage, 1); }},
        {{"guide.chm", "--new-page", "topic"},
         [](const ConvertArgs& a) { EXPECT_EQ(a.settings.StartNewPage, 2); }},
        // --hints takes the next argument only when it looks like a format.
        {{"--hints", "guide.chm"},
         [](const ConvertArgs& a) {
             EXPECT_EQ(a.input, "guide.chm");
             EXPECT_TRUE(a.settings.AddHint);
             EXPECT_EQ(a.settings.HintFormat, u"See [Title No.]");
         }},
        {{"--hints", "Siehe [Title No.]", "guide.chm"},
         [](const ConvertArgs& a) {
             EXPECT_EQ(a.input, "guide.chm");
             EXPECT_EQ(a.settings.HintFormat, u"Siehe [Title No.]");
         }},
        {{"guide.chm", "--hints", "-o", "out.doc"},
         [](const ConvertArgs& a) {
             EXPECT_TRUE(a.settings.AddHint);
             EXPECT_EQ(a.output, "out.doc");
         }},
        {{"guide.chm", "--hints=(see [Title No.])"},
         [](const ConvertArgs& a) { EXPECT_EQ(a.settings.HintFormat, u"(see [Title No.])"); }},
        {{"guide.chm"}, [](const ConvertArgs& a) { EXPECT_TRUE(a.settings.Index); }},
        {{"guide.chm", "--no-index"}, [](const ConvertArgs& a) { EXPECT_FALSE(a.settings.Index); }},
        {{"guide.chm", "--max-size", "1000", "--toc-levels", "9", "--toc-levels", "5",
          "--office-time-limit", "0", "--max-page-size", "4096", "--max-entries", "10"},
         [](const ConvertArgs& a) {
             EXPECT_EQ(a.maxSize, 1000u);
             EXPECT_EQ(a.maxPageSize, 4096u);
             EXPECT_EQ(a.maxEntries, 10u);
             EXPECT_EQ(a.officeTimeLimit.count(), 0);  // no limit
             EXPECT_EQ(a.settings.ShowLevel, 5);       // the last one given counts
         }},
        {{"guide.chm", "--no-cover", "--no-header", "--no-footer", "--no-toc", "--no-numbers",
          "--discard", "--addenda", "More", "--toc-caption", "Inhalt", "--open", "--timings",
          "--title", "-Manual-", "--language", "0x0419", "-o", "OUT.DOC"},
         [](const ConvertArgs& a) {
             const TDocPDFSettings& s = a.settings;
             EXPECT_FALSE(s.Cover || s.Header || s.Footer || s.Toc || s.TitleNumber);
             EXPECT_TRUE(s.Discard);
             EXPECT_EQ(s.Addenda, u"More");
             EXPECT_EQ(s.TOCCaption, u"Inhalt");
             EXPECT_TRUE(a.open);
             EXPECT_TRUE(a.timings);
             EXPECT_EQ(a.title, "-Manual-");
             EXPECT_EQ(a.codePage, 1251);
             EXPECT_EQ(a.output, "OUT.DOC");
         }},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(joined(c.args));
        std::vector<std::string> args = {"convert"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CommandLine line = parseCommandLine(args);
        const auto* convert = std::get_if<ConvertArgs>(&line);
        ASSERT_NE(convert, nullptr) << usageMessage(line);
        c.check(*convert);
    }
}

// Several help files make a batch, whose single conversions take the other options again.
TEST(CommandLine, SeveralHelpFilesMakeABatch) {
    const CommandLine line = parseCommandLine(
        {"convert", "a.chm", "shelf", "-O", "out", "-j", "3", "--format", "pdf", "--no-cover",
         "--toc-levels", "3", "--hints", "(see [Title No.])", "--title", "A b", "--json-progress"});
    const auto* convert = std::get_if<ConvertArgs>(&line);
    ASSERT_NE(convert, nullptr) << usageMessage(line);
    EXPECT_TRUE(convert->batch);
    EXPECT_EQ(convert->inputs, (std::vector<std::string>{"a.chm", "shelf"}));
    EXPECT_EQ(convert->outputFolder, "out");
    EXPECT_EQ(convert->jobs, 3u);
    EXPECT_EQ(convert->outputFormat, "pdf");
    std::vector<std::string> passedOn = convert->passedOn;
    std::ranges::sort(passedOn);
    EXPECT_EQ(passedOn, (std::vector<std::string>{"--hints=(see [Title No.])", "--json-progress",
                                                  "--no-cover", "--title=A b", "--toc-levels=3"}));
    // What they are given, parsed again, sets what the batch was given.
    std::vector<std::string> again = {"convert", "a.chm"};
    again.insert(again.end(), convert->passedOn.begin(), convert->passedOn.end());
    const CommandLine single = parseCommandLine(again);
    const auto* one = std::get_if<ConvertArgs>(&single);
    ASSERT_NE(one, nullptr) << usageMessage(single);
    EXPECT_FALSE(one->batch);
    EXPECT_FALSE(one->settings.Cover);
    EXPECT_EQ(one->settings.ShowLevel, 3);
    EXPECT_EQ(one->settings.HintFormat, u"(see [Title No.])");
    EXPECT_EQ(one->title, "A b");
}

TEST(CommandLine, OtherCommandsTakeTheirArguments) {
    const CommandLine info = parseCommandLine({"info", "--json", "guide.chm"});
    ASSERT_TRUE(std::holds_alternative<InfoArgs>(info)) << usageMessage(info);
    EXPECT_EQ(std::get<InfoArgs>(info).file, "guide.chm");
    EXPECT_TRUE(std::get<InfoArgs>(info).json);

    const CommandLine contents = parseCommandLine({"contents", "guide.chm", "--max-size", "64"});
    ASSERT_TRUE(std::holds_alternative<ContentsArgs>(contents)) << usageMessage(contents);
    EXPECT_EQ(std::get<ContentsArgs>(contents).maxSize, 64u);
    EXPECT_FALSE(std::get<ContentsArgs>(contents).json);

    const CommandLine distill =
        parseCommandLine({"distill", "guide.chm", "out", "--hint", "see [Title No.]", "--discard"});
    ASSERT_TRUE(std::holds_alternative<DistillArgs>(distill)) << usageMessage(distill);
    const DistillArgs& d = std::get<DistillArgs>(distill);
    EXPECT_EQ(d.folder, "out");
    EXPECT_EQ(d.hint, "see [Title No.]");
    EXPECT_TRUE(d.discard);
    EXPECT_EQ(d.addenda, "Addenda");

    const CommandLine version = parseCommandLine({"-V"});
    ASSERT_TRUE(std::holds_alternative<ShowVersion>(version));
    EXPECT_TRUE(std::get<ShowVersion>(version).text.starts_with("quillet "));
}

// Every usage error names what is wrong on its first line and ends with the command's usage.
TEST(CommandLine, BadArgumentsAreUsageErrorsNamingTheOption) {
    struct Case {
        std::vector<std::string> args;
        std::string message;  // in the first line
        std::string usage;    // the line that follows
    };
    const std::string convert =
        "usage: quillet convert FILE.chm [-o OUT.docx|OUT.doc|OUT.pdf] [-O DIR] [-j N] [options]";
    const std::string info = "usage: quillet info FILE.chm [--json]\n";
    const std::string distill = "usage: quillet distill FILE.chm DIR [options]";
    const Case kCases[] = {
        {{"convert", "g.chm", "--paper", "a5"},
         "--paper takes letter|tabloid|legal|a3|a4|b5|WxH",
         convert},
        {{"convert", "g.chm", "--paper", "custom"}, "--paper takes", convert},
        {{"convert", "g.chm", "--paper", "A4"}, "--paper takes", convert},
        {{"convert", "g.chm", "--paper", "210x"}, "--paper takes", convert},
        {{"convert", "g.chm", "--paper", "0x297"}, "the size must be positive", convert},
        {{"convert", "g.chm", "--margins", "1,2,3"}, "--margins takes", convert},
        {{"convert", "g.chm", "--margins", "1,2,3,4,5"}, "--margins takes", convert},
        {{"convert", "g.chm", "--margins", "1,2,3,-4"}, "margins cannot be negative", convert},
        {{"convert", "g.chm", "--toc-levels", "10"}, "--toc-levels takes 1 to 9", convert},
        {{"convert", "g.chm", "--toc-levels", "3", "--toc-levels", "0"},
         "--toc-levels takes 1 to 9",
         convert},
        {{"convert", "g.chm", "--toc-levels", "3x"}, "--toc-levels takes 1 to 9", convert},
        {{"convert", "g.chm", "--new-page", "often"},
         "--new-page takes never|chapter|topic",
         convert},
        {{"convert", "g.chm", "--heading-font", "10=Arial,12,0,[]"},
         "--heading-font takes",
         convert},
        {{"convert", "g.chm", "--heading-font", "Arial,12,0,[]"}, "--heading-font takes", convert},
        {{"convert", "g.chm", "--heading-font", "1=Arial,big,0,[]"},
         "--heading-font takes",
         convert},
        {{"convert", "g.chm", "--max-size", "0"}, "--max-size takes a number of bytes", convert},
        {{"convert", "g.chm", "--max-size", "-5"}, "--max-size takes a number of bytes", convert},
        {{"convert", "g.chm", "--language", "Klingon"}, "--language takes", convert},
        {{"convert", "g.chm", "--max-entries", "0"},
         "--max-entries takes a number of entries",
         convert},
        {{"convert", "g.chm", "--office-time-limit", "-1"},
         "--office-time-limit takes a number of minutes",
         convert},
        {{"convert", "g.chm", "-o", "g.txt"},
         "-o takes a file name ending in .docx, .doc or .pdf, not 'g.txt'",
         convert},
        {{"convert", "g.chm", "--title"}, "--title", convert},
        {{"convert"}, "FILE.chm is required", convert},
        {{"convert", "a.chm", "b.chm", "-o", "x.docx"}, "-o names one document", convert},
        {{"convert", "a.chm", "b.chm", "--open"}, "--open is for one help file", convert},
        {{"convert", "a.chm", "--format", "pdf"}, "--format and -j are for several", convert},
        {{"convert", "a.chm", "b.chm", "-j", "0"}, "-j takes 1 to 256", convert},
        {{"convert", "a.chm", "--frob"}, "unexpected argument '--frob'", convert},
        {{"convert", "a.chm", "--help"}, "unexpected argument '--help'", convert},
        {{"info", "a.chm", "--max-size", "100"}, "unexpected argument '--max-size'", info},
        {{"info"}, "FILE.chm is required", info},
        {{"distill", "a.chm"}, "DIR is required", distill},
        {{"distill", "a.chm", "dir", "--max-size", "lots"},
         "--max-size takes a number of bytes, not 'lots'",
         distill},
        {{"distill", "a.chm", "dir", "--addenda"}, "--addenda", distill},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(joined(c.args));
        const CommandLine line = parseCommandLine(c.args);
        ASSERT_TRUE(std::holds_alternative<UsageError>(line));
        const std::string& message = std::get<UsageError>(line).message;
        const std::size_t end = message.find('\n');
        ASSERT_NE(end, std::string::npos) << message;
        EXPECT_TRUE(message.starts_with("quillet " + c.args.front() + ": ")) << message;
        EXPECT_NE(message.substr(0, end).find(c.message), std::string::npos) << message;
        EXPECT_TRUE(message.substr(end + 1).starts_with(c.usage)) << message;
    }
}

TEST(CommandLine, WithoutACommandTheHelpIsTheAnswer) {
    const CommandLine help = parseCommandLine({"--help"});
    ASSERT_TRUE(std::holds_alternative<ShowHelp>(help));
    const std::string& text = std::get<ShowHelp>(help).text;
    EXPECT_TRUE(
        text.starts_with("Usage: quillet COMMAND [ARGUMENTS]\n"
                         "       quillet --help | --version\n"))
        << text;
    for (const char* line : {
             "\n  info FILE.chm [--json]      show the title",
             "\n  contents FILE.chm [--json] [--max-size BYTES] [--max-page-size BYTES] "
             "[--max-entries N]\n",
             "\n  convert FILE.chm [-o OUT.docx|OUT.doc|OUT.pdf] [-O DIR] [-j N] [options]\n",
             "\n  --margins T,B,L,R           margins in mm [25,25,30,30]\n",
             "\n  --hints [FORMAT]            a hint after links between topics [See [Title "
             "No.]]\n",
             "\n  -V, --version               show the version and exit\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nnot in\n" << text;

    const CommandLine nothing = parseCommandLine({});
    ASSERT_TRUE(std::holds_alternative<UsageError>(nothing));
    EXPECT_EQ(std::get<UsageError>(nothing).message, text);

    const CommandLine unknown = parseCommandLine({"--frobnicate"});
    ASSERT_TRUE(std::holds_alternative<UsageError>(unknown));
    EXPECT_EQ(std::get<UsageError>(unknown).message,
              "quillet: unknown option or command '--frobnicate'\n\n" + text);
}

}  // namespace
}  // namespace quillet::cli
