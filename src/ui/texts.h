// The windows' texts in the user's language (see i18n/language.h). Each is marked where it is
// written, so that lupdate finds it: qtr(QT_TRANSLATE_NOOP("quillet", "转换")).
#pragma once

#include "platform/translation.h"

#include <QString>

namespace quillet::ui {

inline QString qtr(const char* source) {
    return QString::fromStdString(trText(source));
}

}  // namespace quillet::ui
