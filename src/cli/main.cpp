// The quillet command: converts a compiled HTML Help file into a Word document.

#include "quillet/version.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

void printUsage(std::FILE* out) {
    std::fputs(
        "Usage: quillet [--help] [--version]\n"
        "\n"
        "Quillet turns a compiled HTML Help file (.chm) into one Word document.\n"
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
    const std::string_view arg = argv[1];
    if (arg == "--help" || arg == "-h") {
        printUsage(stdout);
        return kExitOk;
    }
    if (arg == "--version" || arg == "-V") {
        std::printf("quillet %s\n", QUILLET_VERSION);
        return kExitOk;
    }
    std::fprintf(stderr, "quillet: unknown option or command '%s'\n\n", argv[1]);
    printUsage(stderr);
    return kExitUsage;
}
