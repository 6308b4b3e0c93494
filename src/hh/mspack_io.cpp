#include "hh/mspack_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace quillet {

struct MspackIo::File {
    mspack_file base;  // first, so that libmspack's handle and this record share an address
    int fd = -1;
    bool reading = false;
    std::uint64_t position = 0;
    MspackIo* owner = nullptr;
};

MspackIo::File* MspackIo::fileOf(mspack_file* handle) {
    return reinterpret_cast<File*>(handle);
}

MspackIo::MspackIo(std::vector<HeaderPatch> patches)
    : m_system{{&MspackIo::open, &MspackIo::close, &MspackIo::read, &MspackIo::write,
                &MspackIo::seek, &MspackIo::tell, &MspackIo::message, &MspackIo::alloc,
                &MspackIo::free, &MspackIo::copy, nullptr},
               this},
      m_patches(std::move(patches)) {}

mspack_file* MspackIo::open(mspack_system* self, const char* filename, int mode) {
    MspackIo* owner = reinterpret_cast<System*>(self)->owner;
    int flags = O_CLOEXEC;
    switch (mode) {
        case MSPACK_SYS_OPEN_READ:
            flags |= O_RDONLY;
            break;
        case MSPACK_SYS_OPEN_WRITE:
            // Output goes into a folder of our own; a link planted there is not followed.
            flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
            break;
        default:  // the decompressor neither updates nor appends
            owner->m_lastErrno = EINVAL;
            return nullptr;
    }
    auto* file = new (std::nothrow) File;
    if (file == nullptr) {
        owner->m_lastErrno = ENOMEM;
        return nullptr;
    }
    file->fd = ::open(filename, flags, 0644);
    if (file->fd < 0) {
        owner->m_lastErrno = errno;
        delete file;
        return nullptr;
    }
    file->reading = mode == MSPACK_SYS_OPEN_READ;
    file->owner = owner;
    return &file->base;
}

void MspackIo::close(mspack_file* handle) {
    File* file = fileOf(handle);
    if (file == nullptr) return;
    if (::close(file->fd) != 0) file->owner->m_lastErrno = errno;
    delete file;
}

int MspackIo::read(mspack_file* handle, void* buffer, int bytes) {
    File* file = fileOf(handle);
    if (bytes < 0) return -1;
    auto* out = static_cast<unsigned char*>(buffer);
    const auto wanted = static_cast<std::size_t>(bytes);
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t got =
            ::pread(file->fd, out + done, wanted - done, static_cast<off_t>(file->position + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            file->owner->m_lastErrno = errno;
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    if (file->reading) {
        const std::uint64_t begin = file->position, end = file->position + done;
        for (const HeaderPatch& patch : file->owner->m_patches) {
            const std::uint64_t from = std::max(begin, patch.offset);
            const std::uint64_t to = std::min(end, patch.offset + patch.bytes.size());
            if (from < to)
                std::memcpy(out + (from - begin), patch.bytes.data() + (from - patch.offset),
                            static_cast<std::size_t>(to - from));
        }
    }
    file->position += done;
    return static_cast<int>(done);
}

int MspackIo::write(mspack_file* handle, void* buffer, int bytes) {
    File* file = fileOf(handle);
    if (bytes < 0) return -1;
    if (file->owner->m_stopRequested && file->owner->m_stopRequested()) {
        file->owner->m_lastErrno = EINTR;
        return -1;
    }
    const auto* in = static_cast<const unsigned char*>(buffer);
    const auto wanted = static_cast<std::size_t>(bytes);
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t put = ::write(file->fd, in + done, wanted - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            file->owner->m_lastErrno = put < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    file->position += done;
    return done == 0 && wanted != 0 ? -1 : static_cast<int>(done);
}

int MspackIo::seek(mspack_file* handle, off_t offset, int mode) {
    File* file = fileOf(handle);
    off_t base = 0;
    switch (mode) {
        case MSPACK_SYS_SEEK_START:
            break;
        case MSPACK_SYS_SEEK_CUR:
            base = static_cast<off_t>(file->position);
            break;
        case MSPACK_SYS_SEEK_END: {
            struct stat info {};
            if (::fstat(file->fd, &info) != 0) {
                file->owner->m_lastErrno = errno;
                return -1;
            }
            base = info.st_size;
            break;
        }
        default:
            return -1;
    }
    if ((offset < 0 && base + offset < 0) ||
        (offset > 0 && base > std::numeric_limits<off_t>::max() - offset)) {
        file->owner->m_lastErrno = EINVAL;
        return -1;
    }
    const off_t target = base + offset;
    // Output is written front to back; only the help file is read at chosen places.
    if (!file->reading && ::lseek(file->fd, target, SEEK_SET) < 0) {
        file->owner->m_lastErrno = errno;
        return -1;
    }
    file->position = static_cast<std::uint64_t>(target);
    return 0;
}

off_t MspackIo::tell(mspack_file* handle) {
    return static_cast<off_t>(fileOf(handle)->position);
}

void MspackIo::message(mspack_file* handle, const char* format, ...) {
    if (handle == nullptr) return;  // no file, so no owner to report to
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    try {
        fileOf(handle)->owner->m_messages.emplace_back(text);
    } catch (const std::bad_alloc&) {
        // A lost warning is better than an exception inside libmspack.
    }
}

void* MspackIo::alloc(mspack_system*, size_t bytes) {
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void MspackIo::free(void* ptr) {
    std::free(ptr);
}

void MspackIo::copy(void* src, void* dest, size_t bytes) {
    std::memmove(dest, src, bytes);
}

}  // namespace quillet
