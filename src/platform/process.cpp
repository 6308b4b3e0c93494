#include "platform/process.h"

#include "platform/utf.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <system_error>
#include <vector>

extern char** environ;

namespace quillet {

namespace {

// Enough to keep the message a failing program ends with; earlier output is dropped.
constexpr std::size_t kMaxOutput = 64 * 1024;

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

bool isExecutable(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
}

std::filesystem::path findProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    if (const auto beside = executableFolder() / name; isExecutable(beside)) return beside;
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest = path;
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view dir = rest.substr(0, colon);
            if (!dir.empty()) {
                if (const auto candidate = std::filesystem::path(dir) / name;
                    isExecutable(candidate))
                    return candidate;
            }
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory),
                            "cannot find the program " + name + " beside this program or on PATH");
}

class Pipe {
public:
    Pipe() {
        if (::pipe2(m_fds, O_CLOEXEC) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot create a pipe");
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int read() const { return m_fds[0]; }
    int write() const { return m_fds[1]; }
    void closeRead() { closeFd(m_fds[0]); }
    void closeWrite() { closeFd(m_fds[1]); }

private:
    static void closeFd(int& fd) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    int m_fds[2] = {-1, -1};
};

// Reads `fd` to its end into `output` (keeping the last kMaxOutput bytes), calling `whileWaiting`
// every kWaitCheckInterval while it waits.
void drain(int fd, std::string& output, const std::function<void()>& whileWaiting) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kInterval = std::chrono::milliseconds(kWaitCheckInterval);
    auto nextCheck = Clock::now() + kInterval;
    char buffer[4096];
    for (;;) {
        if (whileWaiting) {
            if (Clock::now() >= nextCheck) {
                whileWaiting();
                nextCheck = Clock::now() + kInterval;
            }
            pollfd ready{fd, POLLIN, 0};
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(nextCheck - Clock::now());
            if (::poll(&ready, 1, static_cast<int>(std::max<long long>(wait.count(), 0))) <= 0)
                continue;  // time to check again, or a signal came
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
            if (output.size() > kMaxOutput) output.erase(0, output.size() - kMaxOutput);
        } else if (n == 0 || errno != EINTR) {
            return;
        }
    }
}

int waitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status)
                             : (WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1);
}

}  // namespace

std::filesystem::path executableFolder() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : self.parent_path();
}

ProcessResult RunAndWait(const std::u16string& commandLine, const std::filesystem::path& folder,
                         const std::function<void()>& whileWaiting) {
    return RunAndWait(splitWords(toUtf8(commandLine)), folder, whileWaiting);
}

ProcessResult RunAndWait(const std::vector<std::string>& words, const std::filesystem::path& folder,
                         const std::function<void()>& whileWaiting) {
    if (words.empty())
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                "empty command line");
    const std::filesystem::path program = findProgram(words[0]);

    Pipe pipe;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe.write(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe.write(), STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

    std::vector<char*> argv;
    for (const auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::system_error(spawned, std::generic_category(),
                                "cannot start " + program.string());
    pipe.closeWrite();

    ProcessResult result;
    try {
        drain(pipe.read(), result.output, whileWaiting);
    } catch (...) {
        ::kill(pid, SIGTERM);
        std::string ignored;
        drain(pipe.read(), ignored, {});
        waitForExit(pid);
        throw;
    }
    result.exitCode = waitForExit(pid);
    return result;
}

}  // namespace quillet
