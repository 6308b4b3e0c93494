// The texts this program shows pass through here, so that the program on top can put them into
// the user's language; without a translator they stay as written. Each text is marked where it is
// written with QT_TRANSLATE_NOOP("quillet", "..."), so that Qt's lupdate finds it for the
// translation files, and passed to tr16 or trText.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace quillet {

// Takes a marked text (UTF-8) and gives it in the user's language (UTF-8).
using Translator = std::function<std::string(const char* source)>;

// Set once, when the program starts, before any thread that shows texts.
void setTranslator(Translator translator);

std::u16string tr16(const char* source);
std::string trText(const char* source);
// With "%1", "%2"... in the text standing for `args`, in order.
std::u16string tr16(const char* source, std::initializer_list<std::u16string_view> args);

}  // namespace quillet
