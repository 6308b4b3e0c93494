// The pages and style sheets that distillation reads and rewrites, all inside the working folder
// of the conversion. A path that leads out of the folder is never read or written, and a write
// that fails ends the stage: a page that silently keeps its old text would be lost text.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillet {

// The text of the page or style sheet `path`, decoded as ReadTextFile decodes it (an unreadable
// file is reported and reads as empty). Empty, without a report, when `path` leads out of
// `rootFolder` or names no regular file (a folder, say). The working folder is the conversion's
// own, so no in-use check is made: on this platform another program's lock does not keep us from
// reading, and the copy ReadTextFile would read instead holds the same bytes.
std::u16string readWorkingFile(const std::u16string& path, const std::u16string& rootFolder);

// Writes `text` to `path` in the encoding its own declaration names, replacing the file whatever
// the letter case it is named in (nothing is written for an empty text). Throws
// std::runtime_error naming the file and the cause when the write fails ("cannot write
// …/a.htm: No space left on device") or when `path` leads out of `rootFolder`.
void writeWorkingFile(std::u16string_view text, const std::u16string& path,
                      const std::u16string& rootFolder);

// The working files of one distillation as its steps see them. Each step reads a page, changes
// it and writes it back, and the next step reads it again: while the files are held, a written
// file's new bytes stay here, the next step reads them from here, and `flush` writes each file
// once. Reads and writes see exactly what they would see on disk: a text read back is decoded
// from the bytes the file would hold. While not holding, reads and writes go to the folder at
// once, as readWorkingFile and writeWorkingFile do. What is held is bounded: once the held files
// reach the hold limit, an existing file that is not held yet is written at once instead, so a
// help file of hundreds of megabytes of pages is not kept in memory whole.
class WorkingFiles {
public:
    static constexpr std::size_t kDefaultHoldLimit = std::size_t{64} << 20;  // bytes

    // A working file, looked up once for the reads and writes of one step.
    struct File {
        std::string key;               // the same for every name of one file
        std::filesystem::path target;  // where it is, or is to be, written
        bool onDisk = false;           // an entry of that name exists
        bool regularFile = false;      // and it is a regular file
        bool holdable = false;         // a regular file, or a new one whose folder exists
    };

    // Nothing when `path` leads out of `rootFolder`. A file that does not exist yet but has been
    // written while holding is found as it would be on disk, without regard to letter case.
    std::optional<File> locate(const std::u16string& path, const std::u16string& rootFolder) const;

    // As readWorkingFile; a held file reads as what was last written to it.
    std::u16string read(const File& file);
    std::u16string read(const std::u16string& path, const std::u16string& rootFolder);

    // As writeWorkingFile; while holding, a file that is or will be a regular file keeps its new
    // bytes here until `flush`. An empty text leaves the file as it is.
    void write(std::u16string_view text, const File& file);
    void write(std::u16string_view text, const std::u16string& path,
               const std::u16string& rootFolder);

    // Reads `path`, passes its text through `change` and writes the result back: one look-up.
    // Throws as writeWorkingFile when `path` leads out of `rootFolder`.
    template <typename Change>
    void rewrite(const std::u16string& path, const std::u16string& rootFolder, Change change) {
        const std::optional<File> file = locate(path, rootFolder);
        if (!file) refuseToWrite(path);
        write(change(read(*file)), *file);
    }

    // Lets go of the held bytes of `file`, whose text the caller has read and will write back,
    // not empty, before the file is read again or flushed: so a page's text is kept once, not
    // here and in the caller too. Nothing happens for a file not held.
    void release(const File& file);

    // Whether `path` lies inside `rootFolder`, as pathInsideFolder judges, and whether it names
    // an existing regular file there, as fileInsideFolder finds: the judgements of the links in
    // pages. While holding, each path is looked up once: until `flush` the folder changes only
    // by what is held, and as `forgetLookups` is told.
    bool inside(const std::u16string& path, const std::u16string& rootFolder) const;
    bool fileInside(const std::u16string& path, const std::u16string& rootFolder) const;
    // Forgets those look-ups: when files were added to the folder beside the held ones (another
    // help file unpacked into it), or when no more links are to be judged.
    void forgetLookups() const { m_lookups.clear(); }

    // From now on, written files are held, up to `limit` bytes of them.
    void hold(std::size_t limit = kDefaultHoldLimit);
    bool holding() const { return m_holding; }
    // Writes every held file, each once, in the order they were first written, and stops
    // holding. Throws as writeWorkingFile when a write fails; what is not written is dropped.
    void flush();
    // Drops what is held, unwritten, and stops holding: the stage did not finish.
    void discard();

private:
    struct Entry {
        std::filesystem::path target;
        std::string bytes;
        bool released = false;
    };

    struct Lookup {
        bool inside = false;
        bool regularFile = false;
    };
    Lookup lookUp(const std::u16string& path, const std::u16string& rootFolder) const;

    [[noreturn]] static void refuseToWrite(const std::u16string& path);
    const Entry* heldNewFile(const std::filesystem::path& target) const;

    bool m_holding = false;
    std::size_t m_holdLimit = 0;
    std::size_t m_heldBytes = 0;
    std::unordered_map<std::string, Entry> m_entries;
    std::vector<std::string> m_order;  // keys, in the order first written
    // Held files that did not exist on disk, by folded key: found without regard to case.
    std::unordered_multimap<std::u16string, std::string> m_newFiles;
    // Link judgements while holding, by folder and path.
    mutable std::unordered_map<std::u16string, Lookup> m_lookups;
};

}  // namespace quillet
