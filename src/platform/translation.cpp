#include "platform/translation.h"

#include "platform/utf.h"

namespace quillet {

namespace {

Translator& translator() {
    static Translator current;
    return current;
}

}  // namespace

void setTranslator(Translator given) {
    translator() = std::move(given);
}

std::string trText(const char* source) {
    const Translator& translate = translator();
    return translate ? translate(source) : std::string(source);
}

std::u16string tr16(const char* source) {
    return fromUtf8(trText(source));
}

std::u16string tr16(const char* source, std::initializer_list<std::u16string_view> args) {
    const std::u16string text = tr16(source);
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // "%1" to "%9" stand for the arguments; any other "%" is itself.
        const std::size_t n =
            text[i] == u'%' && i + 1 < text.size() ? std::size_t(text[i + 1] - u'1') : args.size();
        if (n < args.size()) {
            out.append(args.begin()[n]);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace quillet
