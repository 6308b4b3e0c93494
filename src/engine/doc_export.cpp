#include "engine/doc_export.h"

#include "platform/utf.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>
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

struct OfficeControl {
    std::mutex mutex;
    std::chrono::seconds limit = kDefaultOfficeTimeLimit;
    OfficeWatch watch;
};

OfficeControl& officeControl() {
    static OfficeControl control;
    return control;
}

}  // namespace

void setOfficeTimeLimit(std::chrono::seconds limit) {
    OfficeControl& control = officeControl();
    const std::lock_guard lock(control.mutex);
    control.limit = limit;
}

std::chrono::seconds officeTimeLimit() {
    OfficeControl& control = officeControl();
    const std::lock_guard lock(control.mutex);
    return control.limit;
}

void setOfficeWatch(OfficeWatch watch) {
    OfficeControl& control = officeControl();
    const std::lock_guard lock(control.mutex);
    control.watch = std::move(watch);
}

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

namespace {

// "60 minutes", "1 minute", "90 seconds".
std::string spokenDuration(std::chrono::seconds duration) {
    const long long count = duration.count() % 60 == 0 ? duration.count() / 60 : duration.count();
    const char* unit = duration.count() % 60 == 0 ? " minute" : " second";
    return std::to_string(count) + unit + (count == 1 ? "" : "s");
}

// Ends the process group that `pid` leads: asks first, then, after a few seconds, forces.
void stopGroup(pid_t pid) {
    const pid_t group = pid;
    ::kill(-group, SIGTERM);
    int status = 0;
    for (int tenths = 0; tenths < 50; ++tenths) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            ::kill(-group, SIGKILL);  // what the leader left behind
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(-group, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Runs `args` (the program first) in a process group of its own, with no input and its output
// and errors into the file `log`; returns its exit status (128 + N when signal N ended it) and,
// in `output`, what it wrote. The program and whatever it started are stopped when the time
// limit passes or the watch says so; that throws.
int runLogged(std::vector<std::string> args, const std::string& log, std::string* output) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // A group of its own, so that it can be stopped whole (LibreOffice runs as several
    // processes), and so that a terminal's Ctrl-C reaches this program, which decides.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, args[0].c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + args[0]);

    OfficeWatch watch;
    std::chrono::seconds limit{};
    {
        OfficeControl& control = officeControl();
        const std::lock_guard lock(control.mutex);
        watch = control.watch;
        limit = control.limit;
    }
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) throw std::runtime_error("lost the process of " + args[0]);
        const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - start);
        if (watch && watch(elapsed)) {
            stopGroup(pid);
            throw std::runtime_error("LibreOffice was stopped: the conversion was cancelled");
        }
        if (limit.count() > 0 && elapsed >= limit) {
            stopGroup(pid);
            throw std::runtime_error(
                "LibreOffice did not finish within " + spokenDuration(limit) +
                " and was stopped; allow it longer with --office-time-limit MINUTES, "
                "or save as .docx, which needs no LibreOffice");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (output) {
        if (FILE* f = std::fopen(log.c_str(), "rb")) {
            char buffer[4096];
            std::size_t n = 0;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) output->append(buffer, n);
            std::fclose(f);
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The Python that drives LibreOffice: the QUILLET_PYTHON variable, else Debian's own, whose
// python3-uno package gives it the "uno" module (a Python of another installation lacks it).
std::string findPython() {
    if (const char* given = std::getenv("QUILLET_PYTHON"); given && *given) return given;
    return "/usr/bin/python3";
}

// Exit status of the script below when Python has no "uno" module.
constexpr int kNoUno = 3;

// Starts LibreOffice listening on a pipe, opens the document hidden, updates the tables of
// contents (they take LibreOffice's page numbers; an alphabetical index keeps the engine's) and
// exports it to PDF with bookmarks.
// usage: SCRIPT SOFFICE PROFILE_FOLDER IN.docx OUT.pdf
constexpr std::string_view kUpdateAndExport = R"py(import os, subprocess, sys, time
try:
    import uno
    from com.sun.star.beans import PropertyValue
except ImportError:
    sys.exit(3)

def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p

soffice, profile, source, target = sys.argv[1:5]
pipe = "quillet-%d" % os.getpid()
office = subprocess.Popen(
    [soffice, "-env:UserInstallation=" + uno.systemPathToFileUrl(profile), "--headless",
     "--invisible", "--norestore", "--nologo", "--nolockcheck", "--nodefault",
     "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe],
    stdin=subprocess.DEVNULL)
desktop = None
try:
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.monotonic() + 120
    while True:
        try:
            context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            if office.poll() is not None:
                sys.exit("LibreOffice stopped before it answered (status %d)" % office.returncode)
            if time.monotonic() > deadline:
                sys.exit("LibreOffice did not answer within two minutes")
            time.sleep(0.1)
    desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
    document = desktop.loadComponentFromURL(
        uno.systemPathToFileUrl(source), "_blank", 0, (prop("Hidden", True),))
    if document is None:
        sys.exit("LibreOffice could not open " + source)
    indexes = document.getDocumentIndexes()
    for i in range(indexes.getCount()):
        index = indexes.getByIndex(i)
        # An alphabetical index keeps the result the document holds: LibreOffice's own update
        # reads "main:sub" as one entry and drops the page numbers in a two-column index.
        if not index.supportsService("com.sun.star.text.DocumentIndex"):
            index.update()
    options = uno.Any("[]com.sun.star.beans.PropertyValue", (prop("ExportBookmarks", True),))
    document.storeToURL(uno.systemPathToFileUrl(target),
                        (prop("FilterName", "writer_pdf_Export"), prop("FilterData", options)))
    document.close(True)
finally:
    try:
        if desktop is not None:
            desktop.terminate()
    except Exception:
        pass
    try:
        office.wait(timeout=60)
    except subprocess.TimeoutExpired:
        office.kill()
        office.wait()
)py";

}  // namespace

int runLibreOfficeConversion(const std::string& input, const std::string& filter,
                             const std::string& outDir, std::string* output) {
    const std::string program = findLibreOffice();
    if (program.empty()) throw std::runtime_error("LibreOffice (soffice) is not installed");
    const ScratchFolder profile;
    const ScratchFolder logs;
    return runLogged(
        {program, "-env:UserInstallation=file://" + profile.path().string(), "--headless",
         "--norestore", "--nolockcheck", "--convert-to", filter, "--outdir", outDir, input},
        (logs.path() / "soffice.log").string(), output);
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

void convertDocxToPdf(const std::u16string& docx, const std::u16string& pdf) {
    const std::string soffice = findLibreOffice();
    if (soffice.empty())
        throw std::runtime_error(
            "saving a PDF needs LibreOffice (soffice), which is not installed: install "
            "LibreOffice (Debian package libreoffice-writer), or save as .docx, which needs "
            "nothing else");
    const ScratchFolder work;
    std::string output;
    const std::filesystem::path script = work.path() / "update_and_export.py";
    {
        FILE* f = std::fopen(script.c_str(), "wb");
        if (!f || std::fwrite(kUpdateAndExport.data(), 1, kUpdateAndExport.size(), f) !=
                      kUpdateAndExport.size()) {
            if (f) std::fclose(f);
            throw std::runtime_error("cannot write " + script.string());
        }
        std::fclose(f);
    }
    const std::filesystem::path target = toPath(pdf);
    std::error_code ec;
    const std::string python = findPython();
    int status = kNoUno;
    if (executable(python))
        status = runLogged({python, script.string(), soffice, (work.path() / "profile").string(),
                            toUtf8(docx), target.string()},
                           (work.path() / "python.log").string(), &output);
    if (status == kNoUno) {
        // Without Python's LibreOffice bridge the tables of contents keep the document's numbers.
        output.clear();
        status = runLibreOfficeConversion(
            toUtf8(docx),
            "pdf:writer_pdf_Export:{\"ExportBookmarks\":{\"type\":\"boolean\",\"value\":\"true\"}}",
            work.path().string(), &output);
        const std::filesystem::path produced =
            work.path() / toPath(docx).filename().replace_extension(".pdf");
        if (status == 0 && std::filesystem::exists(produced, ec))
            std::filesystem::copy_file(produced, target,
                                       std::filesystem::copy_options::overwrite_existing, ec);
        if (ec) throw std::runtime_error("cannot write " + toUtf8(pdf) + ": " + ec.message());
    }
    // The target may be there already, empty, as a name reserved for the PDF.
    const auto size = std::filesystem::file_size(target, ec);
    if (status != 0 || ec || size == 0)
        throw std::runtime_error("LibreOffice could not convert the document to PDF: " + output);
}

}  // namespace quillet::engine
