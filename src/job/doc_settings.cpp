#include "job/doc_settings.h"

#include "platform/utf.h"

namespace quillet {

TDocPDFSettings::TDocPDFSettings() {
    for (int level = 1; level <= 9; ++level)
        StringToFont(u"Calibri," + fromUtf8(std::to_string(29 - 2 * level)) + u",0,[]",
                     HeadingFont[level]);
}

void TDocPDFSettings::Assign(const TDocPDFSettings& other) {
    if (this != &other) *this = other;
}

}  // namespace quillet
