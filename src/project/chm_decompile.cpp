#include "project/chm_decompile.h"

#include <stdexcept>

namespace quillet {

void TCHMDecompile::LoadFromCHM(const std::u16string& /*ChmFile*/) {
    throw std::runtime_error("reading the help file's system information is not built yet");
}

void TCHMDecompile::decompile() {
    throw std::runtime_error("unpacking the help file is not built yet");
}

}  // namespace quillet
