// The pages and style sheets that distillation reads and rewrites, all inside the working folder
// of the conversion. A path that leads out of the folder is never read or written, and a write
// that fails ends the stage: a page that silently keeps its old text would be lost text.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The text of the page or style sheet `path`, read as ReadTextFile reads it (an unreadable file
// is reported and reads as empty). Empty, without a report, when `path` leads out of
// `rootFolder` or names no regular file (a folder, say).
std::u16string readWorkingFile(const std::u16string& path, const std::u16string& rootFolder);

// Writes `text` to `path` in the encoding its own declaration names, replacing the file whatever
// the letter case it is named in (nothing is written for an empty text). Throws
// std::runtime_error naming the file and the cause when the write fails ("cannot write
// …/a.htm: No space left on device") or when `path` leads out of `rootFolder`.
void writeWorkingFile(std::u16string_view text, const std::u16string& path,
                      const std::u16string& rootFolder);

}  // namespace quillet
