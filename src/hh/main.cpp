// The quillet-hh command: unpacks a compiled help file into a folder, as "hh.exe -decompile"
// does for the converter.

#include "hh/chm_unpacker.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The signal that asked this run to stop (Ctrl-C, a closed terminal, a polite kill); 0 while none
// has. The unpack notices it between files and while writing, takes back what it made, and the
// program ends with 128 + the signal, as a shell reports a program that the signal ended.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void onStopSignal(int signal) {
    g_stopSignal = signal;
}

// A signal ignored when the program started (run under nohup, or in the background of a script)
// stays ignored.
void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

void printUsage(std::FILE* out) {
    using quillet::UnpackOptions;
    std::fprintf(
        out,
        "Usage: quillet-hh -decompile DIR FILE.chm [--max-size BYTES]\n"
        "       quillet-hh -caption FILE.chm\n"
        "       quillet-hh -window FILE.chm\n"
        "       quillet-hh --help\n"
        "\n"
        "Unpacks every stored file of a compiled HTML Help file into DIR, with its folders,\n"
        "leaving out the help system's own data (names starting with #, $ or ::).\n"
        "Entries whose names would lead out of DIR, or whose path there would be longer\n"
        "than the system allows, are skipped with a warning.\n"
        "\n"
        "-caption writes the caption of the help file's first window definition, as the\n"
        "bytes stored, and a line end; nothing when it has none.\n"
        "-window writes three lines of that window: its caption, its home page and the\n"
        "generator its contents file names; a line is empty for what it has not.\n"
        "\n"
        "Options:\n"
        "  --max-size BYTES  stop before writing anything when the files would need more\n"
        "                    than BYTES bytes (default: %llu times the size of FILE.chm,\n"
        "                    at least %llu bytes, %llu MiB)\n"
        "  -h, --help        show this help and exit\n"
        "\n"
        "Exit status: 0 when unpacked, 1 when the file cannot be unpacked, 2 for a usage error,\n"
        "128 + N when signal N (SIGINT, SIGTERM, SIGHUP) stopped it; nothing of an unpack that\n"
        "failed or was stopped is left in DIR.\n",
        static_cast<unsigned long long>(UnpackOptions::kSizeFactor),
        static_cast<unsigned long long>(UnpackOptions::kMinimumSizeLimit),
        static_cast<unsigned long long>(UnpackOptions::kMinimumSizeLimit >> 20));
}

int usageError(const std::string& reason) {
    std::fprintf(stderr, "quillet-hh: %s\n\n", reason.c_str());
    printUsage(stderr);
    return kExitUsage;
}

std::optional<std::uint64_t> parseBytes(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Runs `read`, which reads from the help file `file` and writes to standard output; a failure is
// one line on standard error and the exit status for a file that cannot be read.
template <typename Read>
int readReporting(const std::string& file, Read read) {
    try {
        read();
        return kExitOk;
    } catch (const quillet::UnpackError& e) {
        std::fprintf(stderr, "quillet-hh: %s\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillet-hh: cannot read %s: %s\n", file.c_str(), e.what());
    }
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    catchStopSignals();
    std::optional<std::string> dir, file, captionOf, windowOf;
    quillet::UnpackOptions options;
    options.stopRequested = [] { return g_stopSignal != 0; };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return kExitOk;
        }
        if (arg == "-decompile") {
            if (dir || i + 2 >= argc) return usageError("-decompile needs a folder and a file");
            dir = argv[++i];
            file = argv[++i];
        } else if (arg == "-window") {
            if (windowOf || i + 1 >= argc) return usageError("-window needs a file");
            windowOf = argv[++i];
        } else if (arg == "-caption") {
            if (captionOf || i + 1 >= argc) return usageError("-caption needs a file");
            captionOf = argv[++i];
        } else if (arg == "--max-size" || arg.starts_with("--max-size=")) {
            std::string_view value;
            if (arg.starts_with("--max-size="))
                value = arg.substr(std::string_view("--max-size=").size());
            else if (i + 1 < argc)
                value = argv[++i];
            const std::optional<std::uint64_t> bytes = parseBytes(value);
            if (!bytes) return usageError("--max-size needs a number of bytes");
            options.maxSize = *bytes;
        } else {
            return usageError("unknown argument '" + std::string(arg) + "'");
        }
    }
    if (windowOf) {
        if (dir || captionOf) return usageError("give one of -decompile, -caption and -window");
        return readReporting(*windowOf, [&] {
            const quillet::WindowDefinition window = quillet::readWindowDefinition(*windowOf);
            for (const auto& text : {window.caption, window.home, window.generator}) {
                // A line end inside would shift the lines that follow.
                if (text && text->find_first_of("\r\n") == std::string::npos)
                    std::fwrite(text->data(), 1, text->size(), stdout);
                std::fputc('\n', stdout);
            }
        });
    }
    if (captionOf) {
        if (dir) return usageError("give either -decompile or -caption");
        return readReporting(*captionOf, [&] {
            if (const auto caption = quillet::readWindowCaption(*captionOf))
                std::fwrite(caption->data(), 1, caption->size(), stdout);
            std::fputc('\n', stdout);
        });
    }
    if (!dir) return usageError("nothing to do: give -decompile DIR FILE");

    try {
        const quillet::UnpackResult result = quillet::unpackHelpFile(*file, *dir, options);
        for (const std::string& warning : result.warnings)
            std::fprintf(stderr, "quillet-hh: %s\n", warning.c_str());
        return kExitOk;
    } catch (const quillet::UnpackStopped&) {
        std::fprintf(stderr, "quillet-hh: stopped; nothing of this run is left in %s\n",
                     dir->c_str());
        return 128 + g_stopSignal;
    } catch (const quillet::UnpackError& e) {
        std::fprintf(stderr, "quillet-hh: %s\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillet-hh: cannot unpack %s: %s\n", file->c_str(), e.what());
    }
    return kExitFailed;
}
