#include "platform/file_in_use.h"

#include "platform/utf.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace quillet {

namespace {

bool heldByAnotherProcess(int fd) {
    // A write lock by another process (fcntl style, as LibreOffice and most editors use).
    struct flock probe {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) return true;
    // An exclusive flock.
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) return errno == EWOULDBLOCK;
    ::flock(fd, LOCK_UN);
    return false;
}

bool officeLockFileBeside(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    const std::string name = file.filename().string();
    std::error_code ec;
    if (std::filesystem::exists(folder / (".~lock." + name + "#"), ec)) return true;
    if (std::filesystem::exists(folder / ("~$" + name), ec)) return true;
    // Word shortens long names by their first two characters: "~$cument.docx".
    return name.size() > 2 + file.extension().string().size() &&
           std::filesystem::exists(folder / ("~$" + name.substr(2)), ec);
}

}  // namespace

bool isOpenFileInUse(int fd, const std::filesystem::path& file) {
    return heldByAnotherProcess(fd) || officeLockFileBeside(file);
}

bool IsFileInUse(const std::u16string& FileName) {
    const std::filesystem::path file = toPath(FileName);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        // Missing, or unreachable (a folder on the way that we may not search) counts as not in
        // use; a file that is there and cannot be opened counts as in use.
        if (errno == ENOENT || errno == ENOTDIR) return false;
        std::error_code ec;
        return std::filesystem::exists(file, ec);
    }
    const bool inUse = isOpenFileInUse(fd, file);
    ::close(fd);
    return inUse;
}

}  // namespace quillet
