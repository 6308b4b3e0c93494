#include "engine/doc_export.h"

#include "platform/utf.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace quillet::engine {

namespace {

bool executable(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
}

// A fresh folder under the temporary folder, removed with its contents when this goes.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillet-lo-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace

std::string findLibreOffice() {
    if (const char* given = std::getenv("QUILLET_SOFFICE"); given && *given)
        return executable(given) ? given : std::string();
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest = path;
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::filesystem::path candidate =
                std::filesystem::path(rest.substr(0, colon)) / "soffice";
            if (colon != 0 && executable(candidate)) return candidate.string();
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    return {};
}

int runLibreOfficeConversion(const std::string& input, const std::string& filter,
                             const std::string& outDir, std::string* output) {
    const std::string program = findLibreOffice();
    if (program.empty()) throw std::runtime_error("LibreOffice (soffice) is not installed");
    const ScratchFolder profile;
    const ScratchFolder logs;
    const std::string log = (logs.path() / "soffice.log").string();
    std::vector<std::string> args = {
        program,         "-env:UserInstallation=file://" + profile.path().string(),
        "--headless",    "--norestore",
        "--nolockcheck", "--convert-to",
        filter,          "--outdir",
        outDir,          input};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start LibreOffice (" + program + ")");
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("lost the LibreOffice process");
    if (output) {
        std::error_code ec;
        if (std::filesystem::exists(log, ec)) {
            FILE* f = std::fopen(log.c_str(), "rb");
            if (f) {
                char buffer[4096];
                std::size_t n = 0;
                while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) output->append(buffer, n);
                std::fclose(f);
            }
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void convertDocxToDoc(const std::u16string& docx, const std::u16string& doc) {
    if (findLibreOffice().empty())
        throw std::runtime_error(
            "saving a Word 97-2003 .doc needs LibreOffice (soffice), which is not installed; "
            "save as .docx (file format 12), which needs nothing else");
    const ScratchFolder out;
    std::string output;
    const int status =
        runLibreOfficeConversion(toUtf8(docx), "doc:MS Word 97", out.path().string(), &output);
    const std::filesystem::path produced =
        out.path() / toPath(docx).filename().replace_extension(".doc");
    std::error_code ec;
    if (status != 0 || !std::filesystem::exists(produced, ec))
        throw std::runtime_error("LibreOffice could not convert the document to .doc: " + output);
    std::filesystem::copy_file(produced, toPath(doc),
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) throw std::runtime_error("cannot write " + toUtf8(doc) + ": " + ec.message());
}

}  // namespace quillet::engine
