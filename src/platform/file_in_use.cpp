#include "platform/file_in_use.h"

#include "platform/utf.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

bool IsFileInUse(const std::u16string& FileName) {
    const std::filesystem::path file = toPath(FileName);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return false;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return true;
    const bool locked = heldByAnotherProcess(fd);
    ::close(fd);
    return locked || officeLockFileBeside(file);
}

}  // namespace quillet
