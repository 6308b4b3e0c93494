// Windows language identifiers and the language tags documents carry ("ru-RU"), through ICU's
// table of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The language tag of a Windows language identifier (0x0419 → "ru-RU"); nothing for an
// identifier ICU does not know (0, a neutral one it cannot place, garbage).
std::optional<std::u16string> languageTagOf(int languageId);

// The Windows language identifier of a language tag ("vi-VN" → 0x042A); 0 when it has none.
int languageIdOfTag(std::u16string_view tag);

}  // namespace quillet
