#include "distill/working_files.h"

#include "platform/case_insensitive_path.h"
#include "platform/utf.h"
#include "text/confined_path.h"
#include "text/text_context.h"
#include "text/text_files.h"

#include <algorithm>
#include <stdexcept>

namespace quillet {

namespace {

namespace fs = std::filesystem;

// The text of the regular file `target`; a failure is reported and reads as empty.
std::u16string readReported(const fs::path& target) {
    try {
        return decodeTextFile(readFileBytes(target), u"");
    } catch (const std::exception& e) {
        TextUserInterface().showMessage(MessageKind::Error, fromUtf8(e.what()));
        return {};
    }
}

// The bytes a file holding `text` gets: the encoding the text declares when it holds the text.
std::string encoded(std::u16string_view text) {
    std::string bytes;
    WritePageToStream(text, bytes);
    return bytes;
}

fs::path normalFolder(const std::u16string& folder) {
    std::u16string slashed = folder;
    std::replace(slashed.begin(), slashed.end(), u'\\', u'/');
    std::error_code ec;
    return fs::absolute(toPath(slashed), ec).lexically_normal();
}

// The one name of a file reached through a link: its real place, named below the folder as
// the folder is named, so that it is the name a path without links gives.
std::string keyThroughLink(const fs::path& found, const std::u16string& rootFolder) {
    const fs::path root = normalFolder(rootFolder);
    std::error_code ec;
    const fs::path realRoot = fs::weakly_canonical(root, ec);
    const fs::path real = fs::weakly_canonical(found, ec);
    if (ec) return found.native();
    return (root / real.lexically_relative(realRoot)).lexically_normal().native();
}

}  // namespace

std::u16string readWorkingFile(const std::u16string& path, const std::u16string& rootFolder) {
    const auto located = locateInsideFolder(path, rootFolder);
    if (!located || !located->regularFile) return {};
    return readReported(*located->found);
}

void writeWorkingFile(std::u16string_view text, const std::u16string& path,
                      const std::u16string& rootFolder) {
    WorkingFiles().write(text, path, rootFolder);
}

void WorkingFiles::refuseToWrite(const std::u16string& path) {
    throw std::runtime_error("refusing to write " + toUtf8(path) +
                             ": it lies outside the working folder");
}

std::optional<WorkingFiles::File> WorkingFiles::locate(const std::u16string& path,
                                                       const std::u16string& rootFolder) const {
    const auto located = locateInsideFolder(path, rootFolder);
    if (!located) return std::nullopt;
    File file;
    if (located->found) {
        file.target = *located->found;
        file.onDisk = true;
        file.regularFile = located->regularFile;
        file.holdable = located->regularFile;
        file.key =
            located->throughLink ? keyThroughLink(file.target, rootFolder) : file.target.native();
        return file;
    }
    // A new file goes into the existing folder of its name, as WriteTextFile puts it.
    file.target = toPath(located->path);
    if (const auto folder = findExistingPath(file.target.parent_path())) {
        file.target = *folder / file.target.filename();
        file.holdable = true;
    }
    if (const Entry* held = heldNewFile(file.target)) file.target = held->target;
    file.key = file.target.native();
    return file;
}

const WorkingFiles::Entry* WorkingFiles::heldNewFile(const fs::path& target) const {
    if (const auto exact = m_entries.find(target.native()); exact != m_entries.end())
        return &exact->second;
    // Of several spellings the first in sorted order, as the look-up on disk would find.
    const auto [first, last] = m_newFiles.equal_range(foldCase(fromPath(target)));
    const std::string* chosen = nullptr;
    for (auto it = first; it != last; ++it)
        if (chosen == nullptr || it->second < *chosen) chosen = &it->second;
    return chosen == nullptr ? nullptr : &m_entries.at(*chosen);
}

std::u16string WorkingFiles::read(const File& file) {
    if (const auto held = m_entries.find(file.key); held != m_entries.end()) {
        if (held->second.released)
            throw std::logic_error("working file read before it was written back: " +
                                   held->second.target.string());
        return decodeTextFile(held->second.bytes, u"");
    }
    return file.regularFile ? readReported(file.target) : std::u16string();
}

std::u16string WorkingFiles::read(const std::u16string& path, const std::u16string& rootFolder) {
    const std::optional<File> file = locate(path, rootFolder);
    return file ? read(*file) : std::u16string();
}

void WorkingFiles::write(std::u16string_view text, const File& file) {
    if (text.empty()) return;
    std::string bytes = encoded(text);
    // What cannot be held (a folder of that name, a new file without its folder) is written at
    // once, so that it fails where it did.
    if (!m_holding || !file.holdable) {
        writeFileBytes(file.target, bytes);
        return;
    }
    // Past the limit an existing file is written through; a new one is still held, so that the
    // link judgements made while holding stay true of the folder.
    if (file.regularFile && m_heldBytes + bytes.size() > m_holdLimit &&
        !m_entries.contains(file.key)) {
        writeFileBytes(file.target, bytes);
        return;
    }
    const auto [held, added] = m_entries.try_emplace(file.key);
    Entry& entry = held->second;
    if (added) {
        entry.target = file.target;
        m_order.push_back(file.key);
        if (!file.onDisk) m_newFiles.emplace(foldCase(fromPath(file.target)), file.key);
    }
    // The encoders leave room to grow; a held file keeps only its bytes.
    bytes.shrink_to_fit();
    m_heldBytes = m_heldBytes - entry.bytes.size() + bytes.size();
    entry.bytes = std::move(bytes);
    entry.released = false;
}

void WorkingFiles::write(std::u16string_view text, const std::u16string& path,
                         const std::u16string& rootFolder) {
    const std::optional<File> file = locate(path, rootFolder);
    if (!file) refuseToWrite(path);
    write(text, *file);
}

void WorkingFiles::release(const File& file) {
    const auto held = m_entries.find(file.key);
    if (held == m_entries.end()) return;
    m_heldBytes -= held->second.bytes.size();
    std::string().swap(held->second.bytes);
    held->second.released = true;
}

WorkingFiles::Lookup WorkingFiles::lookUp(const std::u16string& path,
                                          const std::u16string& rootFolder) const {
    const auto judge = [&] {
        const auto located = locateInsideFolder(path, rootFolder);
        return Lookup{located.has_value(), located && located->regularFile};
    };
    if (!m_holding) return judge();
    std::u16string key = rootFolder;
    key += u'\0';
    key += path;
    const auto [known, added] = m_lookups.try_emplace(std::move(key));
    if (added) known->second = judge();
    return known->second;
}

bool WorkingFiles::inside(const std::u16string& path, const std::u16string& rootFolder) const {
    return lookUp(path, rootFolder).inside;
}

bool WorkingFiles::fileInside(const std::u16string& path, const std::u16string& rootFolder) const {
    return lookUp(path, rootFolder).regularFile;
}

void WorkingFiles::hold(std::size_t limit) {
    m_holding = true;
    m_holdLimit = limit;
}

void WorkingFiles::flush() {
    std::unordered_map<std::string, Entry> entries = std::move(m_entries);
    const std::vector<std::string> order = std::move(m_order);
    discard();
    for (const std::string& key : order) {
        Entry& entry = entries.at(key);
        if (entry.released)
            throw std::logic_error("working file never written back: " + entry.target.string());
        writeFileBytes(entry.target, entry.bytes);
        std::string().swap(entry.bytes);
    }
}

void WorkingFiles::discard() {
    m_holding = false;
    m_heldBytes = 0;
    m_entries.clear();
    m_order.clear();
    m_newFiles.clear();
    m_lookups.clear();
}

}  // namespace quillet
