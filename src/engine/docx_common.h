// What the .docx writer and reader share: namespaces, relationship and content types, unit
// conversions and the names Office Open XML gives to values of the model. Internal to the engine.
#pragma once

#include "engine/lists.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillet::engine::docx {

inline constexpr const char* kNsW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
inline constexpr const char* kNsR =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* kNsWp =
    "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
inline constexpr const char* kNsA = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr const char* kNsPic = "http://schemas.openxmlformats.org/drawingml/2006/picture";
inline constexpr const char* kNsV = "urn:schemas-microsoft-com:vml";
inline constexpr const char* kNsO = "urn:schemas-microsoft-com:office:office";
inline constexpr const char* kNsPackageRels =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr const char* kNsContentTypes =
    "http://schemas.openxmlformats.org/package/2006/content-types";

inline constexpr const char* kRelOfficeDocument =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
inline constexpr const char* kRelStyles =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
inline constexpr const char* kRelNumbering =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/numbering";
inline constexpr const char* kRelSettings =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings";
inline constexpr const char* kRelHeader =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/header";
inline constexpr const char* kRelFooter =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer";
inline constexpr const char* kRelImage =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
inline constexpr const char* kRelHyperlink =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";
inline constexpr const char* kRelCoreProperties =
    "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";
inline constexpr const char* kRelExtendedProperties =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties";

inline constexpr const char* kPictureUri =
    "http://schemas.openxmlformats.org/drawingml/2006/picture";

// Lengths: twentieths of a point (twips), half points, English Metric Units.
inline long long twips(double points) {
    return static_cast<long long>(points * 20 + (points >= 0 ? 0.5 : -0.5));
}
inline double fromTwips(double t) {
    return t / 20.0;
}
inline long long emu(double points) {
    return static_cast<long long>(points * 12700 + 0.5);
}
inline double fromEmu(double e) {
    return e / 12700.0;
}

// `text` (UTF-8) with what an XML 1.0 document cannot hold left out: control characters other than
// tab, line feed and carriage return, U+FFFE and U+FFFF, surrogates, and bytes that are no UTF-8.
// Every string the writer puts into a part, text and attribute values alike, passes through here,
// because the XmlWriter writes whatever it is given and readers refuse a part that holds one of
// these.
std::string xmlCharacters(std::string_view text);

// A colour 0x00BBGGRR as "RRGGBB" (automatic as "auto"), and back (nothing for a bad text).
std::string colorText(int color);
std::optional<int> parseColor(std::string_view text);

// Paragraph alignment 0-3 as w:jc values, and back.
const char* alignmentText(int alignment);
std::optional<int> parseAlignment(std::string_view text);

// A list level's number style as w:numFmt values, and back (a decimal number for the many kinds
// the model does not know).
const char* numberStyleText(NumberStyle style);
NumberStyle parseNumberStyle(std::string_view text);

// The name a built-in style has inside a .docx ("heading 1", "toc 2", "header"); others keep
// theirs.
std::u16string fileStyleName(int builtin, const std::u16string& name);

// "file:///a/b%20c.png" for a path, and the path of such an address (nothing for another kind).
std::string fileUri(const std::u16string& path);
std::optional<std::u16string> pathOfFileUri(std::string_view uri);

}  // namespace quillet::engine::docx
