#include "engine/html/local_address.h"

#include "platform/case_insensitive_path.h"
#include "platform/utf.h"

#include <filesystem>

namespace quillet::engine::html {

namespace {

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Whether `path` is `folder` or lies below it, both lexically normal and absolute.
bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty()) continue;  // the trailing separator of "root/"
        if (p == path.end() || *p != *f) return false;
    }
    return true;
}

}  // namespace

std::u16string percentDecode(std::u16string_view text) {
    if (text.find(u'%') == std::u16string_view::npos) return std::u16string(text);
    std::string bytes = toUtf8(text);
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '%' && i + 2 < bytes.size()) {
            const int hi = hexDigit(static_cast<char16_t>(bytes[i + 1]));
            const int lo = hexDigit(static_cast<char16_t>(bytes[i + 2]));
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += bytes[i];
    }
    return fromUtf8(out);
}

std::optional<std::u16string> resolveLocalFile(std::u16string_view address,
                                               const std::u16string& baseFolder,
                                               const std::u16string& rootFolder) {
    std::u16string_view a = address;
    while (!a.empty() &&
           (a.front() == u' ' || a.front() == u'\t' || a.front() == u'\n' || a.front() == u'\r'))
        a.remove_prefix(1);
    while (!a.empty() &&
           (a.back() == u' ' || a.back() == u'\t' || a.back() == u'\n' || a.back() == u'\r'))
        a.remove_suffix(1);
    a = a.substr(0, a.find_first_of(u"?#"));
    std::u16string relative = percentDecode(a);
    for (char16_t& c : relative)
        if (c == u'\\') c = u'/';
    if (relative.empty() || relative.front() == u'/') return std::nullopt;  // absolute, or //host
    // Any scheme ("file:", "http:", "mk:@MSITStore:") or drive letter ("c:") before the first "/".
    const std::size_t colon = relative.find(u':');
    if (colon != std::u16string::npos && colon < relative.find(u'/')) return std::nullopt;
    if (relative.find(u'\0') != std::u16string::npos) return std::nullopt;

    std::error_code ec;
    const std::filesystem::path root =
        std::filesystem::absolute(toPath(rootFolder), ec).lexically_normal();
    if (ec) return std::nullopt;
    const std::filesystem::path wanted =
        (std::filesystem::absolute(toPath(baseFolder), ec) / toPath(relative)).lexically_normal();
    if (ec || !isInside(wanted, root)) return std::nullopt;
    const auto found = findExistingPath(wanted);
    if (!found || !std::filesystem::is_regular_file(*found, ec)) return std::nullopt;
    // A symbolic link inside the folder may still point outside it.
    const std::filesystem::path real = std::filesystem::weakly_canonical(*found, ec);
    const std::filesystem::path realRoot = std::filesystem::weakly_canonical(root, ec);
    if (ec || !isInside(real, realRoot)) return std::nullopt;
    return fromPath(*found);
}

}  // namespace quillet::engine::html
