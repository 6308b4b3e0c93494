#include "distill/working_files.h"

#include "platform/utf.h"
#include "text/confined_path.h"
#include "text/text_files.h"

#include <stdexcept>

namespace quillet {

std::u16string readWorkingFile(const std::u16string& path, const std::u16string& rootFolder) {
    const auto file = fileInsideFolder(path, rootFolder);
    return file ? ReadTextFile(*file, u"") : std::u16string();
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
