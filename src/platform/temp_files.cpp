#include "platform/temp_files.h"

#include "platform/utf.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

namespace quillet {

namespace {

// A name space of four hexadecimal digits, as the ~wiXXXX.tmp pattern allows.
constexpr unsigned kTempNameCount = 0x10000;

std::mt19937& generator() {
    thread_local std::mt19937 gen(
        static_cast<unsigned>(std::chrono::high_resolution_clock::now().time_since_epoch().count() ^
                              static_cast<long long>(std::random_device{}())));
    return gen;
}

}  // namespace

std::u16string GetTempDirectory() {
    std::string dir;
    if (const char* env = std::getenv("TMPDIR"); env != nullptr && *env != '\0')
        dir = env;
    else
        dir = "/tmp";
    if (dir.back() != '/') dir += '/';
    return fromUtf8(dir);
}

std::u16string NewTempFileName() {
    const std::string dir = toUtf8(GetTempDirectory());
    const unsigned start = generator()() % kTempNameCount;
    for (unsigned n = 0; n < kTempNameCount; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "~wi%04X.tmp", (start + n) % kTempNameCount);
        const std::string path = dir + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return fromUtf8(path);
        }
        if (errno != EEXIST)
            throw std::system_error(errno, std::generic_category(),
                                    "cannot create a temporary file in " + dir);
    }
    throw std::system_error(std::make_error_code(std::errc::file_exists),
                            "no free temporary file name in " + dir);
}

std::u16string NewRootFolderName() {
    std::uniform_int_distribution<int> draw(0, 999998);
    const int r = draw(generator());
    std::u16string name = GetTempDirectory();
    for (char c : std::to_string(r + 100000)) name += static_cast<char16_t>(c);
    name += u'/';
    return name;
}

bool DeleteFolder(const std::u16string& Folder) {
    std::u16string folder = Folder;
    while (folder.size() > 1 && folder.back() == u'/') folder.pop_back();
    // Never the file-system root: a folder name that came out empty must not wipe the disk.
    if (folder.empty() || folder == u"/") return false;
    std::error_code ec;
    std::filesystem::remove_all(toPath(folder), ec);
    return !ec;
}

}  // namespace quillet
