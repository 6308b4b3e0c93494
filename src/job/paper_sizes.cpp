#include "job/paper_sizes.h"

namespace quillet {

const PaperSize* findPaper(std::string_view name) {
    for (const PaperSize& paper : kPaperSizes)
        if (paper.code != kPaperCustom && paper.name == name) return &paper;
    return nullptr;
}

int paperIndex(int code) {
    for (std::size_t i = 0; i < kPaperSizes.size(); ++i)
        if (kPaperSizes[i].code == code) return static_cast<int>(i);
    return -1;
}

}  // namespace quillet
