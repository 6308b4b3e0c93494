#include "engine/html/local_address.h"

#include "text/confined_path.h"

namespace quillet::engine::html {

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

    std::u16string base = baseFolder;
    if (!base.empty() && base.back() != u'/') base += u'/';
    return fileInsideFolder(base + relative, rootFolder);
}

}  // namespace quillet::engine::html
