// The bodies of the fuzz targets: one entry per parser of outside input, each taking the raw
// input bytes as libFuzzer hands them over. The fuzzers (fuzz/main.cpp) and the replay of found
// inputs in the ordinary test suite (tests/fuzz_regressions/) call the same functions, so a case
// fixed once stays fixed under both builds.
//
// An entry returns 0 for every input: refusals the parser documents (a damaged help file, a
// number out of range) are caught; anything else (a crash, an undocumented exception, a broken
// document model) ends the process, which is what a fuzzer reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillet::fuzz {

// The system records read straight from a help file's bytes.
int fuzzSystemRecords(const std::uint8_t* data, std::size_t size);
// A whole help file unpacked into a scratch folder, and its first window's caption.
int fuzzHelpFile(const std::uint8_t* data, std::size_t size);
// A contents or index file; the first byte picks its code page.
int fuzzContents(const std::uint8_t* data, std::size_t size);
// Entities, attribute values, page titles and the near-equal text test; the first byte picks the
// code page and the attribute name.
int fuzzHtmlText(const std::uint8_t* data, std::size_t size);
// One topic page distilled: split, walked down and up, cut, and its links rewritten; the first
// byte picks the code page and how many blocks the walkers cut.
int fuzzTopicPage(const std::uint8_t* data, std::size_t size);
// A page read into the document engine as a web page, and the same bytes as a style sheet.
int fuzzWebPage(const std::uint8_t* data, std::size_t size);
// A web archive (.mht) unpacked into a scratch working folder.
int fuzzWebArchive(const std::uint8_t* data, std::size_t size);
// A .docx package read into a document model: the input is either a zip file as it is ("PK"
// first) or its parts, "NAME\0CONTENT\0" after one another, which are zipped first so that the
// fuzzer changes the XML rather than the archive's checksums.
int fuzzDocx(const std::uint8_t* data, std::size_t size);

// A target by its name ("contents", "docx", ...), as the fuzzers and the regression files name
// them; nullptr for an unknown name.
using Target = int (*)(const std::uint8_t*, std::size_t);
Target targetNamed(std::string_view name);

}  // namespace quillet::fuzz
