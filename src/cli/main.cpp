// The quillet command: converts a compiled HTML Help file into a Word document.

#include "cli/commands.h"
#include "quillet/version.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quillet::cli::kExitOk;
using quillet::cli::kExitUsage;

void printUsage(std::FILE* out) {
    std::fputs(
        "Usage: quillet COMMAND [ARGUMENTS]\n"
        "       quillet --help | --version\n"
        "\n"
        "Quillet turns a compiled HTML Help file (.chm) into one Word document.\n"
        "\n"
        "Commands:\n"
        "  info FILE.chm [--json]      show the title, default topic, language and code page\n"
        "  contents FILE.chm [--json] [--max-size BYTES]\n"
        "                              list the contents entries (level, status, title, page,\n"
        "                              index keywords)\n"
        "  distill FILE.chm DIR [--discard] [--addenda TEXT] [--hint FORMAT] [--max-size BYTES]\n"
        "                              unpack and distil into DIR, with DIR/contents.json\n"
        "  convert FILE.chm [-o OUT.docx|OUT.doc] [options]\n"
        "                              convert into a Word document (default: FILE.docx);\n"
        "                              the output name must end in .docx or .doc\n"
        "\n"
        "Options of convert (defaults in brackets):\n"
        "  --title TEXT                the document title [the help file's title]\n"
        "  --language ID|NAME          the language whose code page decodes the title and "
        "contents\n"
        "  --paper letter|tabloid|legal|a3|a4|b5|WxH   paper, or its size in mm [a4]\n"
        "  --margins T,B,L,R           margins in mm [25,25,30,30]\n"
        "  --no-cover --no-header --no-footer --no-toc --no-numbers\n"
        "  --toc-levels N              heading levels in the contents, 1-9 [3]\n"
        "  --toc-caption TEXT          [Table of Contents]\n"
        "  --hints [FORMAT]            a hint after links between topics [See [Title No.]]\n"
        "  --new-page never|chapter|topic   where topics start a new page [never]\n"
        "  --discard | --addenda TEXT  leave out pages outside the contents, or their heading "
        "[Addenda]\n"
        "  --heading-font L=Name,Size,Color,[BIUS]   font of heading level L [Calibri]\n"
        "  --open                      open the document when done\n"
        "  --max-size BYTES            unpack at most BYTES bytes from the help file (also for\n"
        "                              contents and distill) [200 times its size, at least\n"
        "                              64 MiB]\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "Exit status: 0 done, 1 failed (the reason is on standard error), 2 wrong usage,\n"
        "130 stopped by Ctrl-C, a hang-up or SIGTERM before the work was done (contents,\n"
        "distill and convert then leave nothing behind; an existing document stays as it was).\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return kExitUsage;
    }
    const std::string_view command = argv[1];
    const std::vector<std::string> rest(argv + 2, argv + argc);
    if (command == "--help" || command == "-h") {
        printUsage(stdout);
        return kExitOk;
    }
    if (command == "--version" || command == "-V") {
        std::printf("quillet %s\n", QUILLET_VERSION);
        return kExitOk;
    }
    if (command == "info") return quillet::cli::runInfo(rest);
    if (command == "contents") return quillet::cli::runContents(rest);
    if (command == "distill") return quillet::cli::runDistill(rest);
    if (command == "convert") return quillet::cli::runConvert(rest);
    std::fprintf(stderr, "quillet: unknown option or command '%s'\n\n", argv[1]);
    printUsage(stderr);
    return kExitUsage;
}
