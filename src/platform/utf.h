// Conversion between the program's 16-bit text and the UTF-8 that this platform's file names,
// environment and terminal use. Code-page conversion of document text lives in text/, not here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillet {

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD; nothing is dropped silently.
std::string toUtf8(std::u16string_view text);

// UTF-8 to UTF-16. Each malformed byte sequence becomes one U+FFFD.
std::u16string fromUtf8(std::string_view text);

// A file-system path from the program's text form of it, and back.
std::filesystem::path toPath(std::u16string_view text);
std::u16string fromPath(const std::filesystem::path& path);

}  // namespace quillet
