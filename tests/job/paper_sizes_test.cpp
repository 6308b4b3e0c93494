#include "job/paper_sizes.h"

#include "engine/section.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace quillet {
namespace {

// The sizes offered are those the document engine gives each code, to the millimetre; custom paper
// is the one code the engine has no size of.
TEST(PaperSizes, AgreeWithTheDocumentEngine) {
    for (const PaperSize& paper : kPaperSizes) {
        SCOPED_TRACE(std::string(paper.name));
        double width = 0, height = 0;
        const bool known = engine::paperDimensions(paper.code, width, height);
        if (paper.code == kPaperCustom) {
            EXPECT_FALSE(known);
            continue;
        }
        ASSERT_TRUE(known);
        EXPECT_EQ(std::lround(width * 25.4 / 72), paper.width);
        EXPECT_EQ(std::lround(height * 25.4 / 72), paper.height);
    }
}

}  // namespace
}  // namespace quillet
