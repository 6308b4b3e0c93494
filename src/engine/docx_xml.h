// How the .docx writer puts values into a part. Every attribute value and text goes through attr
// and text here, which leave out what XML 1.0 cannot hold (xmlCharacters, docx_common.h): the
// XmlWriter writes whatever it is given, and readers refuse a part that holds such a character.
// Internal to the writer.
#pragma once

#include "engine/docx_common.h"
#include "engine/xml_stream.h"

#include <sstream>
#include <string>
#include <string_view>

namespace quillet::engine::docx {

// True when xmlCharacters would keep `value` whole because it is all ASCII that XML allows.
inline bool plainAscii(std::string_view value) {
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) return false;
    }
    return true;
}

inline void attr(XmlWriter& xml, std::string_view name, std::string_view value) {
    if (plainAscii(value))
        xml.attribute(name, value);
    else
        xml.attribute(name, xmlCharacters(value));
}

inline void text(XmlWriter& xml, std::string_view value) {
    if (plainAscii(value))
        xml.text(value);
    else
        xml.text(xmlCharacters(value));
}

// <name w:val="value"/>
inline void valueElement(XmlWriter& xml, std::string_view name, std::string_view value) {
    xml.start(name);
    attr(xml, "w:val", value);
    xml.end();
}

inline std::string num(long long n) {
    return std::to_string(n);
}
inline std::string num(double points) {
    std::ostringstream out;
    out << points;
    return out.str();
}

}  // namespace quillet::engine::docx
