// quillet convert with several help files: each is converted by a quillet convert of its own, a
// child process with its own working folder, code-page context and memory, so that nothing of one
// conversion reaches another. The children report progress as JSON lines on their standard error;
// this process shows one line per running conversion and a summary at the end.
#include "cli/commands.h"
#include "cli/stop_signals.h"
#include "platform/ascii.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <deque>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace quillet::cli {

namespace {

namespace fs = std::filesystem;

enum class Result { Waiting, Running, Converted, Failed, Cancelled };

struct Conversion {
    explicit Conversion(fs::path given) : input(std::move(given)) {}
    fs::path input;
    fs::path output;
    Result result = Result::Waiting;
    std::string reason;  // why it failed
    pid_t pid = -1;
    int errorPipe = -1;       // the child's standard error, read here
    std::string pending;      // a line not yet ended
    std::string lastMessage;  // the last line that was not progress
    int percent = 0;
    std::string stage;  // "unpack", "distill", "document", "save"
    std::string caption;
    bool stopSent = false;
};

bool isHelpFileName(const fs::path& path) {
    return equalsIgnoringAsciiCase(path.extension().string(), ".chm");
}

// The help files the arguments name: files as given, folders by the .chm files they hold
// (not those of their subfolders), in name order. What is neither fails at once.
std::vector<Conversion> gather(const ConvertArgs& args) {
    std::vector<Conversion> all;
    for (const std::string& given : args.inputs) {
        std::error_code ec;
        if (fs::is_directory(given, ec)) {
            std::vector<fs::path> found;
            for (const fs::directory_entry& entry : fs::directory_iterator(given, ec))
                if (entry.is_regular_file(ec) && isHelpFileName(entry.path()))
                    found.push_back(entry.path());
            std::ranges::sort(found);
            if (found.empty()) {
                Conversion none(given);
                none.result = Result::Failed;
                none.reason = "the folder holds no .chm file";
                all.push_back(std::move(none));
            }
            for (fs::path& path : found) all.emplace_back(std::move(path));
            continue;
        }
        Conversion one(given);
        if (!fs::is_regular_file(given, ec)) {
            one.result = Result::Failed;
            one.reason = "there is no such file";
        }
        all.push_back(std::move(one));
    }
    return all;
}

// Where each document goes; two help files of one name would write one document, so the later
// ones fail.
void nameOutputs(std::vector<Conversion>& all, const ConvertArgs& args) {
    std::map<fs::path, const Conversion*> taken;
    for (Conversion& c : all) {
        if (c.result != Result::Waiting) continue;
        const fs::path folder =
            args.outputFolder.empty() ? c.input.parent_path() : fs::path(args.outputFolder);
        c.output = fs::absolute(folder / c.input.stem()).concat("." + args.outputFormat);
        const auto [at, fresh] = taken.emplace(c.output, &c);
        if (!fresh) {
            c.result = Result::Failed;
            c.reason = "its document " + c.output.string() + " would replace that of " +
                       at->second->input.string();
        }
    }
}

// Starts `c`'s conversion: this program again, converting one help file.
void start(Conversion& c, const ConvertArgs& args) {
    std::vector<std::string> words = {"quillet",         "convert",        c.input.string(), "-o",
                                      c.output.string(), "--json-progress"};
    words.insert(words.end(), args.passedOn.begin(), args.passedOn.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        c.result = Result::Failed;
        c.reason = "cannot start a conversion: out of file handles";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    // This very program, whatever has become of its file since it started.
    const int spawned =
        ::posix_spawn(&c.pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        c.result = Result::Failed;
        c.reason = "cannot start a conversion";
        return;
    }
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    c.errorPipe = fds[0];
    c.result = Result::Running;
}

// Takes a line of the child's standard error: progress, or a message.
void takeLine(Conversion& c, const std::string& line) {
    if (line.starts_with("{")) {
        const nlohmann::json report = nlohmann::json::parse(line, nullptr, false);
        if (report.is_object() && report.contains("percent")) {
            c.percent = report.value("percent", c.percent);
            const std::string message = report.value("message", std::string());
            if (!message.empty()) c.caption = message;
            c.stage = report.value("stage", c.stage);
            return;
        }
    }
    if (!line.empty()) c.lastMessage = line;
}

void readFrom(Conversion& c) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(c.errorPipe, buffer, sizeof buffer);
        if (n <= 0) break;
        c.pending.append(buffer, static_cast<std::size_t>(n));
    }
    std::size_t newline = 0;
    while ((newline = c.pending.find('\n')) != std::string::npos) {
        takeLine(c, c.pending.substr(0, newline));
        c.pending.erase(0, newline + 1);
    }
}

// What a failed child said, without the program's name before it.
std::string reasonOf(const Conversion& c, int status) {
    std::string reason = c.lastMessage;
    for (std::string_view prefix : {"quillet convert: ", "error: "})
        if (reason.starts_with(prefix)) reason.erase(0, prefix.size());
    if (reason.empty()) reason = "the conversion ended with status " + std::to_string(status);
    return reason;
}

// The display: on a terminal, a line per running conversion below the finished ones, redrawn;
// otherwise a line when a conversion enters a stage (unpack, distill, document, save) or ends.
class Display {
public:
    explicit Display(std::vector<Conversion>& all) : m_all(all) {}

    void update() {
        if (!m_terminal) {
            for (const Conversion& c : m_all) {
                if (c.result != Result::Running || c.stage.empty() || c.stage == "start") continue;
                std::string& shown = m_shown[&c];
                if (shown == c.stage) continue;
                shown = c.stage;
                std::cerr << name(c) << ": " << c.stage << std::endl;
            }
            return;
        }
        std::string block;
        int lines = 0;
        for (const Conversion& c : m_all) {
            if (c.result != Result::Running) continue;
            std::string line = "[" + std::to_string(c.percent) + "%] " + name(c) + " " + c.caption;
            if (line.size() > kWidth) {
                // Cut at a character's first byte.
                std::size_t cut = kWidth;
                while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
                line.resize(cut);
            }
            block += line + "\x1b[K\n";
            ++lines;
        }
        if (block == m_block && lines == m_drawn) return;
        clear();
        m_block = block;
        m_drawn = lines;
        std::cerr << block << std::flush;
    }

    void finished(const Conversion& c) {
        clear();
        if (c.result == Result::Converted)
            std::cerr << "converted " << name(c) << " -> " << c.output.string() << '\n';
        else if (c.result == Result::Failed)
            std::cerr << "failed " << name(c) << ": " << c.reason << '\n';
        else
            std::cerr << "cancelled " << name(c) << '\n';
        update();
    }

    void clear() {
        if (!m_terminal) return;
        for (; m_drawn > 0; --m_drawn) std::cerr << "\x1b[1A\x1b[2K";
        std::cerr << "\r";
        m_block.clear();
    }

private:
    static std::string name(const Conversion& c) { return c.input.filename().string(); }
    std::vector<Conversion>& m_all;
    bool m_terminal = ::isatty(STDERR_FILENO) == 1;
    static constexpr std::size_t kWidth = 100;  // bytes of a running conversion's line
    int m_drawn = 0;
    std::string m_block;  // the lines drawn
    std::map<const Conversion*, std::string> m_shown;
};

}  // namespace

int runBatch(const ConvertArgs& args) {
    std::vector<Conversion> all = gather(args);
    nameOutputs(all, args);
    if (!args.outputFolder.empty()) {
        std::error_code ec;
        fs::create_directories(args.outputFolder, ec);
        if (ec) {
            std::cerr << "quillet convert: cannot create " << args.outputFolder << ": "
                      << ec.message() << '\n';
            return kExitFailure;
        }
    }
    const unsigned jobs =
        args.jobs != 0 ? args.jobs : std::max(1u, std::thread::hardware_concurrency());

    const StopSignals stopSignals;
    Display display(all);
    for (const Conversion& c : all)
        if (c.result == Result::Failed) display.finished(c);
    std::size_t next = 0;
    for (;;) {
        const bool stopping = StopSignals::requested();
        unsigned running = 0;
        for (const Conversion& c : all) running += c.result == Result::Running;
        while (!stopping && running < jobs && next < all.size()) {
            Conversion& c = all[next++];
            if (c.result != Result::Waiting) continue;
            start(c, args);
            if (c.result == Result::Running)
                ++running;
            else
                display.finished(c);
        }
        if (stopping) {
            for (std::size_t n = next; n < all.size(); ++n)
                if (all[n].result == Result::Waiting) all[n].result = Result::Cancelled;
            next = all.size();
            // Each conversion removes what it made on this signal; one sent from a terminal
            // reaches them already.
            for (Conversion& c : all)
                if (c.result == Result::Running && !c.stopSent) {
                    ::kill(c.pid, SIGTERM);
                    c.stopSent = true;
                }
        }
        if (running == 0 && next >= all.size()) break;

        std::vector<pollfd> watched;
        for (const Conversion& c : all)
            if (c.result == Result::Running) watched.push_back({c.errorPipe, POLLIN, 0});
        ::poll(watched.data(), watched.size(), 200);
        for (Conversion& c : all) {
            if (c.result != Result::Running) continue;
            readFrom(c);
            int status = 0;
            if (::waitpid(c.pid, &status, WNOHANG) != c.pid) continue;
            readFrom(c);
            if (!c.pending.empty()) takeLine(c, c.pending);
            ::close(c.errorPipe);
            const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            if (code == kExitOk) {
                c.result = Result::Converted;
            } else if (code == kExitCancelled || (c.stopSent && WIFSIGNALED(status))) {
                c.result = Result::Cancelled;
            } else {
                c.result = Result::Failed;
                c.reason = reasonOf(c, code);
            }
            display.finished(c);
        }
        display.update();
    }
    display.clear();

    int converted = 0, failed = 0, cancelled = 0;
    for (const Conversion& c : all) {
        converted += c.result == Result::Converted;
        failed += c.result == Result::Failed;
        cancelled += c.result == Result::Cancelled;
    }
    std::cerr << converted << " converted, " << failed << " failed, " << cancelled
              << " cancelled\n";
    for (const Conversion& c : all)
        if (c.result == Result::Failed)
            std::cerr << "  failed: " << c.input.string() << ": " << c.reason << '\n';
    if (StopSignals::requested()) return kExitCancelled;
    return failed > 0 ? kExitFailure : kExitOk;
}

}  // namespace quillet::cli
