#include "hh/entry_path.h"

#include <climits>

namespace quillet {

namespace {

// The longest name of one folder or file that Linux file systems accept.
constexpr std::size_t kMaxNamePart = NAME_MAX;

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isDriveLetter(std::string_view name) {
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

EntryPath refused(std::string reason) {
    return {EntryKind::Refused, {}, std::move(reason)};
}

// Calls `part` for each run between separators in `name`; stops early when it returns false.
template <typename Visit>
bool forEachPart(std::string_view name, bool (*isSep)(char), Visit part) {
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !isSep(name[end])) ++end;
        if (!part(name.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

EntryPath classifyEntry(std::string_view name) {
    if (name.starts_with("::")) return {EntryKind::Internal, {}, {}};
    if (name.starts_with('/')) name.remove_prefix(1);
    if (name.starts_with('#') || name.starts_with('$')) return {EntryKind::Internal, {}, {}};
    if (name.empty() || name.ends_with('/')) return {EntryKind::Folder, {}, {}};
    if (isSeparator(name.front())) return refused("it is an absolute path");
    if (isDriveLetter(name)) return refused("it starts with a drive letter");
    // A control character (a line end, an escape) in a file name misleads whoever lists the
    // folder, and no page can name it in a link.
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return refused("it holds a control character");

    // Either separator counts here: a reader of the folder may take a backslash for one.
    const bool climbs =
        !forEachPart(name, isSeparator, [](std::string_view part) { return part != ".."; });
    if (climbs) return refused("it climbs out of the folder");

    EntryPath entry{EntryKind::File, {}, {}};
    bool tooLong = false;
    forEachPart(
        name, [](char c) { return c == '/'; },
        [&](std::string_view part) {
            if (part.size() > kMaxNamePart) {
                tooLong = true;
                return false;
            }
            if (!part.empty() && part != ".") entry.path /= std::filesystem::path(part);
            return true;
        });
    if (tooLong) return refused("a part of it is longer than a file name may be");
    if (entry.path.empty()) return {EntryKind::Folder, {}, {}};
    return entry;
}

}  // namespace quillet
