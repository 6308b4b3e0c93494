// Sections of a document: page size and margins, page numbering, and the primary, first-page and
// even-page headers and footers, each with its own story or linked to the previous section's.
#pragma once

#include <array>
#include <memory>

namespace quillet::engine {

class Story;

// Word's paper size codes used here.
inline constexpr int kPaperLetter = 2;
inline constexpr int kPaperLegal = 4;
inline constexpr int kPaperA3 = 6;
inline constexpr int kPaperA4 = 7;
inline constexpr int kPaperB5 = 11;
inline constexpr int kPaperTabloid = 23;
inline constexpr int kPaperCustom = 41;

struct PageSetup {
    int paperSize = kPaperLetter;
    double pageWidth = 612;  // points
    double pageHeight = 792;
    double topMargin = 72;
    double bottomMargin = 72;
    double leftMargin = 90;
    double rightMargin = 90;
    double headerDistance = 36;
    double footerDistance = 36;
    bool lineNumbering = false;
    bool operator==(const PageSetup&) const = default;
};

// Width and height of a known paper size in points; false for an unknown code or custom paper.
bool paperDimensions(int paperSize, double& width, double& height);
// The code of the known paper of these dimensions (within a point), else kPaperCustom.
int paperSizeFor(double width, double height);

// Word's header and footer indices.
inline constexpr int kHeaderPrimary = 1;
inline constexpr int kHeaderFirstPage = 2;
inline constexpr int kHeaderEvenPages = 3;

struct HeaderFooter {
    // Linked headers show the previous section's; the first section's never link. A header that
    // does not link has its own story (which may be empty).
    bool linkToPrevious = true;
    std::shared_ptr<Story> story;
};

struct Section {
    PageSetup page;
    int breakType = 2;  // Word's section break kinds: 2 next page, 3 continuous, 4 even, 5 odd
    std::array<HeaderFooter, 3> headers;  // by Word's index - 1
    std::array<HeaderFooter, 3> footers;
    bool restartNumbering = false;
    int startingNumber = 1;
    bool titlePage = false;  // the first page has its own header and footer
};

}  // namespace quillet::engine
