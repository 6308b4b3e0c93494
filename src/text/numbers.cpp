#include "text/numbers.h"

#include "platform/utf.h"

#include <cstdint>
#include <string>

namespace quillet {

int StrToInt(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    std::int64_t value = 0;
    const std::size_t digits = i;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > std::int64_t{INT32_MAX} + 1) break;
    }
    if (negative) value = -value;
    if (i == digits || i != text.size() || value < INT32_MIN || value > INT32_MAX)
        throw NumberConversionError("'" + toUtf8(text) + "' is not a valid integer value");
    return static_cast<int>(value);
}

}  // namespace quillet
