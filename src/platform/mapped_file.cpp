#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quillet {

MappedFile::MappedFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot open " + path.string());
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int err = S_ISREG(info.st_mode) ? errno : EISDIR;
        ::close(fd);
        throw std::system_error(err, std::generic_category(), "cannot read " + path.string());
    }
    m_size = static_cast<std::size_t>(info.st_size);
    if (m_size > 0) {
        void* data = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (data == MAP_FAILED) {
            const int err = errno;
            ::close(fd);
            throw std::system_error(err, std::generic_category(), "cannot map " + path.string());
        }
        m_data = static_cast<const char*>(data);
    }
    ::close(fd);
}

MappedFile::~MappedFile() {
    if (m_data != nullptr) ::munmap(const_cast<char*>(m_data), m_size);
}

}  // namespace quillet
