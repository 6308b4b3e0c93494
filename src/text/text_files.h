// Reading and writing the text files of a help project (pages, style sheets, contents and index
// files) in the encoding their byte-order mark, their own "charset=" declaration or the caller
// names. File names are looked up without regard to letter case.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quillet {

// The character-set name that an HTML text declares ("charset=NAME" anywhere in it), lower-cased;
// empty when none. The name runs up to a TAB, LF, CR, quote or ">"; a value written in quotes
// (charset="utf-8", as HTML5 pages do) is the text inside them.
std::u16string GetHtmlCharset(std::u16string_view Text);

// The largest text file (a page, a style sheet, a contents or index file) read as text: a larger
// one is refused with an error that names the limit, because its text, parsed, would take memory
// and time out of proportion. Set for the whole process.
inline constexpr std::uint64_t kDefaultMaxTextFileBytes = std::uint64_t{32} << 20;
void setMaxTextFileBytes(std::uint64_t bytes);
std::uint64_t maxTextFileBytes();

// The whole file as text; empty when it does not exist. A mark EF BB means UTF-8, FF FE means
// UTF-16LE; otherwise the bytes are in the code page whose decimal number `CodePage` holds, or,
// when `CodePage` is empty, in the one the file's own "charset=" names, else the ANSI code page.
// Throws when the file cannot be read, is larger than maxTextFileBytes, or `CodePage` is not a
// number.
std::u16string LoadTextFile(const std::u16string& FileName, const std::u16string& CodePage);

// As LoadTextFile, but a file held open by another program is read through a temporary copy, and
// an error is shown to the user and gives the empty text instead of escaping.
std::u16string ReadTextFile(const std::u16string& FileName, const std::u16string& CodePage);

// The text a file of these bytes holds, decoded as LoadTextFile decodes a file.
std::u16string decodeTextFile(std::string_view Bytes, const std::u16string& CodePage);

// The bytes of the file `File`, named as it is on disk: no look-up without regard to case.
// Throws "cannot read FILE: cause" when it cannot be read or is a folder.
std::string readFileBytes(const std::filesystem::path& File);

// The encoding an HTML text declares for itself: 1 UTF-8 ("utf-8"), 2 UTF-16LE ("unicode"), the
// code page of another known name, 0 (the ANSI code page) for an unknown name or none.
int GetTextEncoding(std::u16string_view Text);

// The bytes of a file holding `Text` in `Encoding`: 1 UTF-8 with its mark, 2 UTF-16LE with its
// mark, 3 and above that code page, 0 and below the ANSI code page. A code page that cannot be
// converted here is written as UTF-8 with its mark, so that no text is lost. Replaces `Stream`.
void WriteTextToStream(std::u16string_view Text, int Encoding, std::string& Stream);

// The bytes of a page holding `Text`: in the encoding the page declares ("charset=", else the
// ANSI code page) when that encoding holds every character of it; otherwise UTF-8 with its mark,
// with the page's "charset=" declaration, if it has one, changed to "utf-8". Replaces `Stream`.
void WritePageToStream(std::u16string_view Text, std::string& Stream);

// Writes `Text` to the file in `Encoding`, replacing its content; an existing file is found
// whatever the letter case of its name. An empty text writes nothing. Throws when the file
// cannot be written (a failure part-way leaves what was written).
void WriteTextFile(std::u16string_view Text, const std::u16string& FileName, int Encoding);

// Writes `Bytes` to the file `File`, named as it is on disk, replacing its content (an empty
// file for no bytes). Throws "cannot write FILE: cause" when that fails; a failure part-way
// leaves what was written.
void writeFileBytes(const std::filesystem::path& File, std::string_view Bytes);

// Saves the text as a page (WritePageToStream). While that fails, shows the error and offers the
// save dialog; false when the user gives up. An empty text leaves the file as it was: true.
bool SaveTextFile(std::u16string_view Text, std::u16string FileName);

}  // namespace quillet
