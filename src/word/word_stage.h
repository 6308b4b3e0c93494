// The Word stage of a conversion: a Word session ("Word.Application", reached only through the
// automation interface), the document built entry by entry from the distilled project, page
// setup, cover, contents, header and footer, pictures stored and fitted, and the output saved.
// It knows no document engine: whatever is registered as "Word.Application" does the work.
#pragma once

#include "automation/object.h"
#include "job/chm_to_doc_pdf.h"
#include "word/message_filter.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The state of one Word run.
struct TWordSession {
    Object WordApp;
    Object Doc;
    Object InsertRange;
    int WordVersion = 0;
    std::u16string TempDocument;
    std::array<bool, 49> SavedOptions{};
    bool Succeeded = false;
    // Page measures in points, read back after the page setup.
    int PageWidthPt = 0;
    int LeftMarginPt = 0;
    int RightMarginPt = 0;
    int TextWidth = 0;
    // The file the document was saved to.
    std::u16string OutputPath;
    // Whether to save, restart and reopen the document now and then (see StartWordSession).
    bool RefreshNeeded = true;
    // Whether headings get their entries' index marks and the document an index at the back.
    bool MarkIndex = false;
    IOleMessageFilter Filter;
};

// What the front end wants done with the written document; by default nothing.
struct WordStageOptions {
    std::function<void(const std::u16string& document)> openDocument;
};

// The whole Word stage for `job`. Reports failure through the job (Failed, the progress event,
// FOnError) and never throws, except a cancellation raised by a progress report at its very end.
void OutputWord(TChmToDocPDF& job, const WordStageOptions& options = {});

// The stage as the conversion object's Word stage.
WordStage wordStage(WordStageOptions options = {});

// The pieces of the stage, for tests.
void StartWordSession(TWordSession& session, TChmToDocPDF& job);
void EndWordSession(TWordSession& session, TChmToDocPDF& job);
void RefreshDocument(TWordSession& session, TChmToDocPDF& job);
int WordVersionOf(std::u16string_view text);
// The index entries of an entry's keyword paths ("`\\" between paths, "/" between the levels of
// one, "//" a slash of the keyword), as Indexes.MarkEntry takes them: levels joined by ":", and
// a colon, semicolon, quotation mark or backslash of a keyword escaped with a backslash. Blank
// paths and levels give nothing.
std::vector<std::u16string> IndexEntries(std::u16string_view keywords);
// Millimetres to points: times 2.85, rounded half to even.
int MillimetresToPoints(int millimetres);
// The 49 guarded options: the first 40 of Options, the rest of AutoCorrect.
extern const std::array<const char16_t*, 49> kGuardedOptions;

}  // namespace quillet
