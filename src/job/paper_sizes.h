// The paper sizes a conversion offers, in the order the main window lists them: Word's paper-size
// code (what TDocPDFSettings::PaperSize holds), the name `quillet convert --paper` takes, and the
// size in millimetres. Pages are laid out by the document engine, which knows each code's exact
// size; nothing here lays out a page.
#pragma once

#include <array>
#include <string_view>

namespace quillet {

struct PaperSize {
    int code;               // Word's paper-size code
    std::string_view name;  // lower case, as the command line takes it
    int width;              // millimetres, upright
    int height;
};

// A4: the paper the main window and the command line start with.
inline constexpr int kPaperA4 = 7;
// Custom paper: TDocPDFSettings::Width and Height give its size. Its row's size is the one the
// main window fills in when the user picks custom paper.
inline constexpr int kPaperCustom = 41;

inline constexpr std::array<PaperSize, 7> kPaperSizes = {{
    {2, "letter", 216, 279},    // 8.5 × 11 in
    {23, "tabloid", 279, 432},  // 11 × 17 in
    {4, "legal", 216, 356},     // 8.5 × 14 in
    {6, "a3", 297, 420},
    {kPaperA4, "a4", 210, 297},
    {11, "b5", 182, 257},  // JIS B5
    {kPaperCustom, "custom", 220, 280},
}};

// The paper called `name` (exactly, in lower case); null for any other name. Custom paper has no
// name to ask for: its size is given instead.
const PaperSize* findPaper(std::string_view name);

// The position of the paper with Word's paper-size `code` in kPaperSizes; -1 when it has none.
int paperIndex(int code);

}  // namespace quillet
