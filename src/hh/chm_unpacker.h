// Unpacks every stored file of a compiled help file (.chm) into a folder, keeping its folders:
// what "hh.exe -decompile" leaves for the converter to read. It leaves out the help system's own
// data (names starting with "#", "$" or "::") and does not write a project (.hhp) file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The one-line reason an unpack failed, naming the help file:
// "cannot unpack guide.chm: not a compiled help file".
class UnpackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The unpack was stopped on request (UnpackOptions::stopRequested); nothing of it is left.
class UnpackStopped : public std::runtime_error {
public:
    UnpackStopped() : std::runtime_error("stopped on request") {}
};

struct UnpackOptions {
    // Without a limit given, the files may take this many times the help file's size: ordinary
    // help files unpack to well under 20 times theirs, while a crafted one whose entries all
    // share one compressed stream unpacks a 543 KB file to 3.7 GB.
    static constexpr std::uint64_t kSizeFactor = 200;
    // ... and never less than this, so that a small help file of pictures and tables, whose
    // files compress well, still unpacks.
    static constexpr std::uint64_t kMinimumSizeLimit = std::uint64_t{64} << 20;  // 64 MiB

    // The most bytes one unpack may write, all files together; unset, defaultSizeLimit() of the
    // help file's size.
    std::optional<std::uint64_t> maxSize = std::nullopt;

    // Asked before each file is written, while it is written and before each is put in place;
    // once it answers true the unpack takes back what it made and throws UnpackStopped. Unset,
    // the unpack runs to its end.
    std::function<bool()> stopRequested = nullptr;
};

// The size limit for a help file of `fileSize` bytes when none is given: kSizeFactor times it,
// at least kMinimumSizeLimit, at most the largest 64-bit number.
std::uint64_t defaultSizeLimit(std::uint64_t fileSize);

struct UnpackResult {
    std::size_t fileCount = 0;    // files written
    std::uint64_t byteCount = 0;  // their bytes, all together
    // Entries left out, one line each ("skipped /../evil.htm: it climbs out of the folder").
    std::vector<std::string> warnings;
    // Header faults of the file that were worked around, one line each; empty for a sound file.
    std::vector<std::string> repairs;
};

// Unpacks `file` into `dir`, which is created when missing. An entry is written to `dir` plus its
// name, replacing a file of that name; entries whose name would leave `dir`, or whose path there
// would be longer than the system allows (NAME_MAX for one part, PATH_MAX for the whole), are
// skipped with a warning. Throws UnpackError when the file is missing, is not a compiled help file
// or is corrupt, when its files would need more than the size limit or than `dir` has free, or
// when a file cannot be written; UnpackStopped when stopped on request. The size checks come
// before anything is written. On failure nothing of this run is left in `dir`; what was there
// before stays, except files this run had already replaced when the failure came while putting
// the unpacked files in place. Names in warnings and messages are shortened to one line.
UnpackResult unpackHelpFile(const std::filesystem::path& file, const std::filesystem::path& dir,
                            const UnpackOptions& options = {});

// The caption of the help file's first window definition (#WINDOWS, its text in #STRINGS) as
// the bytes stored, in the help file's code page; nothing when there is no window, no caption,
// or the definitions are damaged. Throws UnpackError as unpackHelpFile does for a file that
// cannot be opened or read.
std::optional<std::string> readWindowCaption(const std::filesystem::path& file);

// The first window definition of a help file, its texts as the bytes stored (in the help file's
// code page); each unset when the window has none.
struct WindowDefinition {
    std::optional<std::string> caption;
    std::optional<std::string> home;       // the page the window opens first
    std::optional<std::string> generator;  // the GENERATOR meta of the window's contents file
};

// As readWindowCaption, the whole definition. The contents file is read as the window names it,
// when it is no larger than the window definitions may be.
WindowDefinition readWindowDefinition(const std::filesystem::path& file);

// Where an entry of the window definitions holds the offsets of its caption, contents file and
// home page in #STRINGS.
inline constexpr std::size_t kWindowCaptionAt = 0x14;
inline constexpr std::size_t kWindowContentsAt = 0x60;
inline constexpr std::size_t kWindowHomeAt = 0x68;

// The text at offset `at` of the first entry of the window definitions `windows` with its strings
// `strings`; nothing when the entry or its offset lies outside them, or it is empty.
std::optional<std::string> firstWindowString(std::string_view windows, std::string_view strings,
                                             std::size_t at);
std::optional<std::string> firstWindowCaption(std::string_view windows, std::string_view strings);

// The content of the first <meta name="generator" content="..."> of a page, as written.
std::optional<std::string> generatorOf(std::string_view page);

}  // namespace quillet
