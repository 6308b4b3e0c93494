// The file access that libmspack's help-file decompressor is given: files opened for reading
// show header patches in place of their stored bytes, and what libmspack would print is kept
// instead. It does not decide which files are read or written; the caller names them.
#pragma once

#include "hh/help_file_header.h"

#include <mspack.h>

#include <functional>
#include <string>
#include <vector>

namespace quillet {

class MspackIo {
public:
    // `patches` apply to every file opened for reading, which is the help file alone.
    explicit MspackIo(std::vector<HeaderPatch> patches);
    MspackIo(const MspackIo&) = delete;
    MspackIo& operator=(const MspackIo&) = delete;

    // The table to hand to mspack_create_chm_decompressor; valid while this object lives.
    mspack_system* system() { return &m_system.table; }

    // Messages and warnings libmspack reported, in order ("WARNING; contents are corrupt").
    const std::vector<std::string>& messages() const { return m_messages; }

    // The errno of the last open, read, write or seek that failed; 0 when none did.
    int lastErrno() const { return m_lastErrno; }

    // Asked before every write; once it answers true, writes fail (with EINTR), so that
    // libmspack gives up the file it is writing. Unset, writes go on.
    void setStopCheck(std::function<bool()> stopRequested) {
        m_stopRequested = std::move(stopRequested);
    }

private:
    // libmspack hands back the table it was given; the owner sits right behind it.
    struct System {
        mspack_system table;
        MspackIo* owner;
    };
    struct File;
    static File* fileOf(mspack_file* handle);

    static mspack_file* open(mspack_system* self, const char* filename, int mode);
    static void close(mspack_file* file);
    static int read(mspack_file* file, void* buffer, int bytes);
    static int write(mspack_file* file, void* buffer, int bytes);
    static int seek(mspack_file* file, off_t offset, int mode);
    static off_t tell(mspack_file* file);
    static void message(mspack_file* file, const char* format, ...);
    static void* alloc(mspack_system* self, size_t bytes);
    static void free(void* ptr);
    static void copy(void* src, void* dest, size_t bytes);

    System m_system;
    std::vector<HeaderPatch> m_patches;
    std::vector<std::string> m_messages;
    std::function<bool()> m_stopRequested;
    int m_lastErrno = 0;
};

}  // namespace quillet
