// Running a helper program as a child process and waiting for it: the stand-in for starting a
// Windows program with a hidden window and a pipe for its output.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quillet {

struct ProcessResult {
    int exitCode = 0;    // the program's exit status; 128 + N when signal N ended it
    std::string output;  // what it wrote to standard output and error, in order, at most 64 KiB
};

// Runs `commandLine` (words separated by blanks; the first names the program) in `folder` and
// waits until it has ended, draining its standard output and error all the while so a full
// pipe never stalls it. Standard input is this program's own. The program is looked up in the
// folder of the running executable first, then on PATH. Throws std::system_error when the
// program is not found or cannot be started.
//
// While the program runs, `whileWaiting` (when given) is called about every kWaitCheckInterval.
// When it throws, the program is asked to stop with SIGTERM and waited for, so that it can clean
// up, and the exception goes on to the caller: a cancel request reaches the program this way.
ProcessResult RunAndWait(const std::u16string& commandLine, const std::filesystem::path& folder,
                         const std::function<void()>& whileWaiting = {});

// The same with the program and its arguments given one by one (UTF-8), so that an argument
// may hold blanks.
ProcessResult RunAndWait(const std::vector<std::string>& words, const std::filesystem::path& folder,
                         const std::function<void()>& whileWaiting = {});

// How often RunAndWait calls its `whileWaiting`: soon enough that a cancel feels immediate.
inline constexpr int kWaitCheckInterval = 100;  // milliseconds

// The folder of the running executable.
std::filesystem::path executableFolder();

}  // namespace quillet
