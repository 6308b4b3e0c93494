// Help files and folder trees for the unpacker's tests: compiled fixtures, byte-level copies to
// damage, and the files a run left behind.
#pragma once

#include "support/test_paths.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace quillet::testing {

// NAME.chm, compiled with chmcmd from tests/data/chm/NAME/NAME.hhp.
inline std::filesystem::path compiledFixture(const std::string& name) {
    return fixturesFolder() / (name + ".chm");
}

// The folder of the fixture's project: tests/data/chm/NAME.
inline std::filesystem::path fixtureProject(const std::string& name) {
    return testDataFolder() / "chm" / name;
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void putLittleEndian64(std::string& bytes, std::size_t offset, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

// Every file under `root`, by its path relative to `root` ("/" separated), with its bytes.
inline std::map<std::string, std::string> filesUnder(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(root)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (!entry.is_directory())
            files[entry.path().lexically_relative(root).generic_string()] =
                entry.is_regular_file() ? readBytes(entry.path()) : std::string("(not a file)");
    return files;
}

}  // namespace quillet::testing
