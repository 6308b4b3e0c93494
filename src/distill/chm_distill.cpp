#include "distill/chm_distill.h"

#include <stdexcept>

namespace quillet {

void TCHMDistill::Execute() {
    throw std::runtime_error("distilling the topic pages is not built yet");
}

}  // namespace quillet
