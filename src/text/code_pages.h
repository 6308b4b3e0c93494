// Conversion between bytes in a Windows code page and the program's 16-bit text, through iconv.
// Code page 0 is the system ANSI code page of the current job (text_context.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The bytes as text. Bytes that are not valid in the code page become U+FFFD. A code page that
// this platform has no converter for gives the empty text.
std::u16string DecodeCodePage(std::string_view Bytes, int CodePage);

// The text as bytes. Characters that the code page cannot hold become "?". A code page without a
// converter gives no bytes. Stateful encodings (ISO-2022, UTF-7) end in their initial state.
std::string EncodeCodePage(std::u16string_view Text, int CodePage);

// The text as bytes when the code page holds every character of it; nothing otherwise, or when
// the code page has no converter.
std::optional<std::string> EncodeCodePageExactly(std::u16string_view Text, int CodePage);

// The iconv name of a Windows code page, or nullptr when this platform has no converter for it.
// Code page 0 is not resolved here.
const char* iconvNameOfCodePage(int codePage);

// Whether text in this code page (0: the ANSI code page) can be converted here.
bool hasConverter(int codePage);

}  // namespace quillet
