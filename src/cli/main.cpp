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
        "  contents FILE.chm [--json]  list the contents entries (level, status, title, page,\n"
        "                              index keywords)\n"
        "  distill FILE.chm DIR [--discard] [--addenda TEXT] [--hint FORMAT]\n"
        "                              unpack and distil into DIR, with DIR/contents.json\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n",
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
    std::fprintf(stderr, "quillet: unknown option or command '%s'\n\n", argv[1]);
    printUsage(stderr);
    return kExitUsage;
}
