// A whole file as one read-only view of bytes, mapped into memory rather than read through a
// stream, so scanning it costs no copy and no system call per position.
#pragma once

#include <filesystem>
#include <string_view>

namespace quillet {

class MappedFile {
public:
    // Maps `path`; throws std::system_error naming the file when it cannot be opened or mapped.
    // An empty file gives an empty view.
    explicit MappedFile(const std::filesystem::path& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view bytes() const { return {m_data, m_size}; }

private:
    const char* m_data = nullptr;
    std::size_t m_size = 0;
};

}  // namespace quillet
