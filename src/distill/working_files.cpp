#include "distill/working_files.h"

#include "platform/case_insensitive_path.h"
#include "platform/utf.h"
#include "text/confined_path.h"
#include "text/text_files.h"

#include <filesystem>
#include <stdexcept>

namespace quillet {

std::u16string readWorkingFile(const std::u16string& path, const std::u16string& rootFolder) {
    const auto inside = pathInsideFolder(path, rootFolder);
    if (!inside) return {};
    const auto found = findExistingPath(toPath(*inside));
    std::error_code ec;
    if (!found || !std::filesystem::is_regular_file(*found, ec)) return {};
    return ReadTextFile(*inside, u"");
}

void writeWorkingFile(std::u16string_view text, const std::u16string& path,
                      const std::u16string& rootFolder) {
    const auto inside = pathInsideFolder(path, rootFolder);
    if (!inside)
        throw std::runtime_error("refusing to write " + toUtf8(path) +
                                 ": it lies outside the working folder");
    WriteTextFile(text, *inside, GetTextEncoding(text));
}

}  // namespace quillet
