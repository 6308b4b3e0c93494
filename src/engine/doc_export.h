// Word 97-2003 (.doc) and PDF output: the engine writes .docx and has LibreOffice convert it,
// headless and with a profile folder of its own. Without LibreOffice there is neither.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace quillet::engine {

// How long LibreOffice may work on one conversion before it is stopped and the conversion fails.
// A help file of tens of thousands of pictures takes LibreOffice many minutes.
inline constexpr std::chrono::minutes kDefaultOfficeTimeLimit{60};

// Sets that limit for this process; zero for none.
void setOfficeTimeLimit(std::chrono::seconds limit);
std::chrono::seconds officeTimeLimit();

// Called about ten times a second while LibreOffice works, with the time it has taken so far.
// When it returns true, LibreOffice is stopped and the conversion fails as cancelled. Set by the
// program on top (the command line's stop signals, the window's cancel button); none by default.
using OfficeWatch = std::function<bool(std::chrono::seconds elapsed)>;
void setOfficeWatch(OfficeWatch watch);

// The LibreOffice program ("soffice" on PATH, or the QUILLET_SOFFICE variable), or empty.
std::string findLibreOffice();

// Converts the .docx at `docx` into the Word 97-2003 file `doc`. Throws std::runtime_error when
// LibreOffice is missing (saying that .docx needs nothing) or the conversion fails.
void convertDocxToDoc(const std::u16string& docx, const std::u16string& doc);

// Converts the .docx at `docx` into the PDF `pdf`, its headings as the PDF's bookmarks. When
// Python can drive LibreOffice (python3-uno), LibreOffice first updates the tables of contents
// from its own pages, so their page numbers are the PDF's; otherwise they keep the numbers the
// document holds. Throws std::runtime_error when LibreOffice is missing (saying what to install)
// or the conversion fails.
void convertDocxToPdf(const std::u16string& docx, const std::u16string& pdf);

// Runs LibreOffice to convert `input` to `filter` ("pdf", "txt:Text", "doc") in `outDir`, with a
// fresh private profile removed afterwards. Returns the program's exit status and its output.
// Throws std::runtime_error when the time limit passes or the watch stops it.
int runLibreOfficeConversion(const std::string& input, const std::string& filter,
                             const std::string& outDir, std::string* output = nullptr);

}  // namespace quillet::engine
