// The settings of one conversion: paper and margins (millimetres), which document elements to
// build, heading numbering and fonts, links and pages outside the contents. A plain value: copies
// never share a font.
#pragma once

#include "job/font.h"

#include <array>
#include <cassert>
#include <string>

namespace quillet {

// The nine heading fonts, indexed by heading level 1..9.
class HeadingFonts {
public:
    TFont& operator[](int level) {
        assert(level >= 1 && level <= 9 && "heading level out of range");
        return m_fonts[static_cast<std::size_t>(level - 1)];
    }
    const TFont& operator[](int level) const {
        assert(level >= 1 && level <= 9 && "heading level out of range");
        return m_fonts[static_cast<std::size_t>(level - 1)];
    }

private:
    std::array<TFont, 9> m_fonts;
};

class TDocPDFSettings {
public:
    // Every field at its default; heading level L is "Calibri," + (29 - 2L) + ",0,[]".
    TDocPDFSettings();

    // Copies every field of `other`; each heading font takes over the other's font of its level.
    void Assign(const TDocPDFSettings& other);

    int PaperSize = 4;  // Word paper-size code, one of kPaperSizes (job/paper_sizes.h)
    int Height = 0;     // the size of kPaperCustom paper; other paper sizes ignore these
    int Width = 0;
    int Top = 25;
    int Bottom = 25;
    int Left = 30;
    int Right = 30;
    bool Cover = true;
    bool Header = true;
    bool Footer = true;
    bool Toc = true;
    int ShowLevel = 3;  // lowest heading level in the table of contents, 1..9
    std::u16string TOCCaption = u"Table of Contents";
    bool TitleNumber = true;
    bool AddHint = false;
    std::u16string HintFormat = u"See [Title No.]";
    int StartNewPage = 0;  // 0 never, 1 before first-level topics, 2 before every topic
    bool Discard = false;
    std::u16string Addenda = u"Addenda";
    bool LinkedHelp = true;  // read the other help files that pages link to (ms-its:other.chm::)
    // An index at the back, from the help file's index keywords; a help file without an index
    // file (.hhk) has none, so it gets no index whatever this says.
    bool Index = true;
    HeadingFonts HeadingFont;
};

}  // namespace quillet
