#include "platform/file_mode.h"

#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

bool keepModeOf(const std::filesystem::path& replaced, const std::filesystem::path& replacement) {
    struct stat old {};
    if (::stat(replaced.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return false;
    // The owner first: changing it may clear set-id bits, which the mode then restores. A user
    // who may not give the file away keeps it as theirs (with the group, when a member of it).
    if (::chown(replacement.c_str(), old.st_uid, old.st_gid) != 0)
        (void)::chown(replacement.c_str(), static_cast<uid_t>(-1), old.st_gid);
    (void)::chmod(replacement.c_str(), old.st_mode & 07777);
    return true;
}

}  // namespace quillet
