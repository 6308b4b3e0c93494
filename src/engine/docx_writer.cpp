#include "engine/docx_writer.h"

#include "engine/docx_package.h"

namespace quillet::engine {

void writeDocx(const DocumentModel& model, const std::u16string& path) {
    docx::PackageWriter(model).write(path);
}

}  // namespace quillet::engine
