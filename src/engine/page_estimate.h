// Which characters take a whole em in common fonts: Chinese, Japanese and Korean characters
// and full-width forms.
#pragma once

namespace quillet::engine {

bool isWideCharacter(char16_t c);

}  // namespace quillet::engine
