#include "text/language_tags.h"

#include "platform/utf.h"

#include <unicode/uloc.h>

namespace quillet {

std::optional<std::u16string> languageTagOf(int languageId) {
    if (languageId <= 0 || languageId > 0xFFFF) return std::nullopt;
    char locale[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        uloc_getLocaleForLCID(static_cast<uint32_t>(languageId), locale, sizeof locale, &status);
    if (U_FAILURE(status) || length <= 0) return std::nullopt;
    char tag[ULOC_FULLNAME_CAPACITY] = {};
    status = U_ZERO_ERROR;
    const int32_t tagLength = uloc_toLanguageTag(locale, tag, sizeof tag, true, &status);
    if (U_FAILURE(status) || tagLength <= 0 || std::string_view(tag) == "und") return std::nullopt;
    return fromUtf8(std::string_view(tag, static_cast<std::size_t>(tagLength)));
}

int languageIdOfTag(std::u16string_view tag) {
    const std::string text = toUtf8(tag);
    char locale[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    uloc_forLanguageTag(text.c_str(), locale, sizeof locale, nullptr, &status);
    if (U_FAILURE(status) || locale[0] == '\0') return 0;
    return static_cast<int>(uloc_getLCID(locale));
}

}  // namespace quillet
