// A program that a test starts and stops with signals: its standard output and error come back
// through pipes, and the test waits for readiness it can see (a line of output, a handler the
// program has installed) rather than for a while.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace quillet::testing {

struct ChildOptions {
    std::filesystem::path folder = {};  // where it runs; empty: here
    // Its standard output starts as a full pipe: the program blocks at its first write until
    // finish() reads, so it cannot end before the test has done what it wants.
    bool blockOutput = false;
};

class ChildProcess {
public:
    // Starts `argv` (argv[0] a path) in a process group of its own, so that signalGroup reaches
    // it and its children as Ctrl-C on a terminal does. Standard input is /dev/null.
    explicit ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options = {}) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            throw std::runtime_error("cannot create a pipe");
        m_out = out[0];
        m_err = err[0];
        if (options.blockOutput) fill(out[1]);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        if (!options.folder.empty())
            posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none, stops;
        sigemptyset(&none);
        sigemptyset(&stops);
        for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&stops, s);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &stops);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(
            &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const int spawned =
            ::posix_spawn(&m_pid, args[0], &actions, &attributes, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(out[1]);
        ::close(err[1]);
        if (spawned != 0) {
            m_pid = -1;
            throw std::runtime_error("cannot start " + argv[0]);
        }
    }

    ~ChildProcess() {
        if (m_pid > 0) {
            ::kill(-m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        if (m_out >= 0) ::close(m_out);
        if (m_err >= 0) ::close(m_err);
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }

    // Waits until the program has put in a handler for `signal` (its mask of caught signals in
    // /proc), or has ended. Whether it did.
    bool waitUntilCatching(int signal) {
        const std::uint64_t bit = std::uint64_t{1} << (signal - 1);
        const auto giveUp = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < giveUp) {
            std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
            std::string line;
            bool ended = !status;
            while (std::getline(status, line)) {
                if (line.starts_with("State:") && line.find('Z') != std::string::npos) ended = true;
                if (line.starts_with("SigCgt:") && (std::stoull(line.substr(7), nullptr, 16) & bit))
                    return true;
            }
            if (ended) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    // Reads standard error until it holds `text` or the program has closed it. Whether it came.
    bool waitForError(std::string_view text) {
        const auto giveUp = std::chrono::steady_clock::now() + kPatience;
        while (m_err >= 0 && m_errText.find(text) == std::string::npos &&
               std::chrono::steady_clock::now() < giveUp) {
            pollfd fd{m_err, POLLIN, 0};
            if (::poll(&fd, 1, 1000) > 0) readSome(m_err, m_errText);
        }
        return m_errText.find(text) != std::string::npos;
    }

    void signal(int signal) const { ::kill(m_pid, signal); }
    // To the program and its children, as a terminal sends Ctrl-C or a hang-up.
    void signalGroup(int signal) const { ::kill(-m_pid, signal); }

    // Reads both outputs to their end and waits for the program; its exit status, 128 + N when
    // signal N ended it.
    int finish() {
        while (m_out >= 0 || m_err >= 0) {
            pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) continue;
            if (fds[0].revents != 0) readSome(m_out, m_outText);
            if (fds[1].revents != 0) readSome(m_err, m_errText);
        }
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        if (m_filler > 0) m_outText.erase(0, m_filler);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // What the program wrote, so far.
    const std::string& out() const { return m_outText; }
    const std::string& err() const { return m_errText; }

private:
    // A hang guard only: nothing waited for here takes more than a fraction of it.
    static constexpr std::chrono::minutes kPatience{5};

    void fill(int fd) {
        ::fcntl(fd, F_SETPIPE_SZ, 4096);
        const int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        const std::string block(4096, '.');
        for (ssize_t n; (n = ::write(fd, block.data(), block.size())) > 0;)
            m_filler += static_cast<std::size_t>(n);
        ::fcntl(fd, F_SETFL, flags);
    }

    static void readSome(int& fd, std::string& into) {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(fd);
            fd = -1;
        }
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::size_t m_filler = 0;
    std::string m_outText, m_errText;
};

}  // namespace quillet::testing
