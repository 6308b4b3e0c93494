// The system records that name a help file (default topic, title, locale), read straight from
// the help file's bytes. Only the uncompressed "/#SYSTEM" file is read here; the compressed
// sections are quillet-hh's business.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The records of a help file's system information that name it: default topic (code 2),
// title (3), locale (4) and the compiled file's name (6). A record the file does not hold is left
// unset.
struct SystemRecords {
    std::optional<std::string> defaultPage;
    std::optional<std::string> title;
    std::optional<std::int16_t> languageId;
    std::optional<std::string> compiledFile;  // read by codes only
};

// The system records of the "/#SYSTEM" file, found through the help file's directory: its
// entry names the file's place in the uncompressed section. Nothing when the file is not laid
// out so (the caller then looks for the records as older tools write them). Throws
// std::runtime_error naming `file` when a record runs past the end of `bytes`.
std::optional<SystemRecords> systemFileRecords(std::string_view bytes, const std::u16string& file);

// The records as help files are commonly written, without the directory: the first "HHA" with
// the version record's code four bytes before it, then the locale and default topic records
// after it, and the title record when the next record is one. A false "HHA"
// elsewhere is passed over. Throws std::runtime_error as systemFileRecords does.
std::optional<SystemRecords> recordsAfterVersionRecord(std::string_view bytes,
                                                       const std::u16string& file);

// The records of the help file: those the read by codes finds, the rest from the scan after the
// version record; nothing when neither finds a record. Throws std::runtime_error as
// recordsAfterVersionRecord does.
std::optional<SystemRecords> readSystemRecords(std::string_view bytes, const std::u16string& file);

}  // namespace quillet
