#include "engine/section.h"

#include <cmath>

namespace quillet::engine {

namespace {

struct Paper {
    int code;
    double width, height;  // points
};

// Word's sizes of the paper codes that the main window offers.
constexpr Paper kPapers[] = {
    {kPaperLetter, 612, 792},    // 8.5 × 11 in
    {kPaperLegal, 612, 1008},    // 8.5 × 14 in
    {kPaperA3, 841.9, 1190.55},  // 297 × 420 mm
    {kPaperA4, 595.3, 841.9},    // 210 × 297 mm
    {kPaperB5, 515.9, 728.5},    // 182 × 257 mm
    {kPaperTabloid, 792, 1224},  // 11 × 17 in
};

}  // namespace

bool paperDimensions(int paperSize, double& width, double& height) {
    for (const Paper& p : kPapers)
        if (p.code == paperSize) {
            width = p.width;
            height = p.height;
            return true;
        }
    return false;
}

int paperSizeFor(double width, double height) {
    for (const Paper& p : kPapers)
        if (std::fabs(p.width - width) < 1.0 && std::fabs(p.height - height) < 1.0) return p.code;
    return kPaperCustom;
}

}  // namespace quillet::engine
