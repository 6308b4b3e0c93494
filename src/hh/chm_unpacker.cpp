#include "hh/chm_unpacker.h"

#include "hh/entry_path.h"
#include "hh/help_file_header.h"
#include "hh/mspack_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <mspack.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <limits>
#include <memory>
#include <set>
#include <string_view>
#include <system_error>
#include <unordered_map>

namespace quillet {

namespace {

namespace fs = std::filesystem;

// The folder, beside the unpacked files, that holds them until every one has come out whole.
constexpr const char* kStagingPattern = ".quillet-hh-XXXXXX";

// A name longer than this is shown by its start and end: a hostile entry may be kilobytes long,
// and a warning or message stays one readable line.
constexpr std::size_t kShownNameStart = 60;
constexpr std::size_t kShownNameEnd = 30;

// The window definitions and their strings take a few kilobytes; more than this is no such file.
constexpr std::int64_t kMaxSystemFileSize = std::int64_t{4} << 20;

std::uint32_t littleEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

// A folder of its own under the temporary folder, removed with what it holds.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "quillet-hh-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw fs::filesystem_error("cannot create a temporary folder", pattern,
                                       std::error_code(errno, std::generic_category()));
        m_path = pattern;
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

}  // namespace

std::optional<std::string> firstWindowString(std::string_view windows, std::string_view strings,
                                             std::size_t at) {
    // #WINDOWS: the number of entries and the size of each, then the entries. An entry holds its
    // own size, whether its strings are Unicode, and offsets of its texts in #STRINGS, a list of
    // NUL-ended strings.
    if (windows.size() < 8) return std::nullopt;
    const std::uint32_t count = littleEndian32(windows, 0);
    const std::uint32_t entrySize = littleEndian32(windows, 4);
    if (count == 0 || entrySize < at + 4 || windows.size() < 8 + std::size_t{entrySize})
        return std::nullopt;
    if (littleEndian32(windows, 8 + 4) != 0) return std::nullopt;  // Unicode strings: not seen
    const std::uint32_t offset = littleEndian32(windows, 8 + at);
    if (offset == 0 || offset >= strings.size()) return std::nullopt;
    const std::size_t end = strings.find('\0', offset);
    std::string text(strings.substr(
        offset, end == std::string_view::npos ? std::string_view::npos : end - offset));
    if (text.empty()) return std::nullopt;
    return text;
}

std::optional<std::string> firstWindowCaption(std::string_view windows, std::string_view strings) {
    return firstWindowString(windows, strings, kWindowCaptionAt);
}

std::optional<std::string> generatorOf(std::string_view page) {
    const auto lower = [](std::string_view text) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    };
    const std::string folded = lower(page);
    // The value of attribute `name` inside the tag [from, to), quoted or not.
    const auto attribute = [&](std::size_t from, std::size_t to,
                               std::string_view name) -> std::optional<std::string> {
        for (std::size_t at = folded.find(name, from); at != std::string::npos && at < to;
             at = folded.find(name, at + 1)) {
            const char before = folded[at - 1];
            if (before != ' ' && before != '\t' && before != '\n' && before != '\r') continue;
            std::size_t v = at + name.size();
            while (v < to && (folded[v] == ' ' || folded[v] == '\t')) ++v;
            if (v >= to || folded[v] != '=') continue;
            ++v;
            while (v < to && (folded[v] == ' ' || folded[v] == '\t')) ++v;
            std::size_t end = v;
            if (v < to && (folded[v] == '"' || folded[v] == '\'')) {
                const char quote = folded[v++];
                end = folded.find(quote, v);
                if (end == std::string::npos || end > to) end = to;
            } else {
                while (end < to && folded[end] != ' ' && folded[end] != '>' && folded[end] != '\t')
                    ++end;
            }
            return std::string(page.substr(v, end - v));
        }
        return std::nullopt;
    };
    for (std::size_t tag = folded.find("<meta"); tag != std::string::npos;
         tag = folded.find("<meta", tag + 1)) {
        std::size_t end = folded.find('>', tag);
        if (end == std::string::npos) end = folded.size();
        const std::optional<std::string> name = attribute(tag, end, "name");
        if (!name || lower(*name) != "generator") continue;
        std::optional<std::string> content = attribute(tag, end, "content");
        if (content && !content->empty()) return content;
    }
    return std::nullopt;
}

namespace {

std::string errnoText(int error) {
    return std::generic_category().message(error);
}

bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// An entry name as stored, or a path, fit for one line of text: control bytes become "?", and a
// long one keeps its first and last characters around "...", cut between UTF-8 sequences.
std::string printable(std::string_view name) {
    std::string out;
    if (name.size() <= kShownNameStart + kShownNameEnd + 3) {
        out = name;
    } else {
        std::size_t head = kShownNameStart;
        while (head > 0 && isUtf8Continuation(name[head])) --head;
        std::size_t tail = name.size() - kShownNameEnd;
        while (tail < name.size() && isUtf8Continuation(name[tail])) ++tail;
        out = std::string(name.substr(0, head)) + "..." + std::string(name.substr(tail));
    }
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

std::string printablePath(const fs::path& path) {
    return printable(std::string_view(path.native()));
}

// Closes the descriptor when the scope ends.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

struct DecompressorDeleter {
    void operator()(mschm_decompressor* decompressor) const {
        mspack_destroy_chm_decompressor(decompressor);
    }
};
using Decompressor = std::unique_ptr<mschm_decompressor, DecompressorDeleter>;

// The directory libmspack read, released through the decompressor that read it.
class OpenedHelpFile {
public:
    OpenedHelpFile(mschm_decompressor* decompressor, mschmd_header* header)
        : m_decompressor(decompressor), m_header(header) {}
    ~OpenedHelpFile() {
        if (m_header != nullptr) m_decompressor->close(m_decompressor, m_header);
    }
    OpenedHelpFile(const OpenedHelpFile&) = delete;
    OpenedHelpFile& operator=(const OpenedHelpFile&) = delete;
    mschmd_header* operator->() const { return m_header; }

private:
    mschm_decompressor* m_decompressor;
    mschmd_header* m_header;
};

// One stored file to write.
struct PlannedFile {
    mschmd_file* entry = nullptr;
    fs::path relative;
    bool compressed = false;  // section 1, as opposed to the uncompressed section 0
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The files of one run: each is unpacked into a staging folder inside the output folder, under
// its number in the plan (so that only its final path has to fit the system's limits), and moved
// into place only when all of them came out whole. Until commit() the destructor takes back
// everything this run made: the staging folder, moved files, created folders.
class OutputTransaction {
public:
    explicit OutputTransaction(fs::path dir) : m_dir(std::move(dir)) {
        createFolders(m_dir);
        std::string pattern = (m_dir / kStagingPattern).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw fs::filesystem_error("cannot create a folder", m_dir,
                                       std::error_code(errno, std::generic_category()));
        m_staging = pattern;
    }

    ~OutputTransaction() {
        if (m_committed) return;
        std::error_code ignored;
        for (auto it = m_placedFiles.rbegin(); it != m_placedFiles.rend(); ++it)
            fs::remove(*it, ignored);
        if (!m_staging.empty()) fs::remove_all(m_staging, ignored);
        // Only folders this run created, and only while empty: another process may use them.
        for (auto it = m_createdFolders.rbegin(); it != m_createdFolders.rend(); ++it)
            fs::remove(*it, ignored);
    }

    OutputTransaction(const OutputTransaction&) = delete;
    OutputTransaction& operator=(const OutputTransaction&) = delete;

    // Where to unpack file number `index` of the plan for now.
    fs::path stagingPath(std::size_t index) const { return m_staging / std::to_string(index); }

    // Moves file number `index` from the staging folder to `relative` in the output folder,
    // replacing a file there.
    void place(std::size_t index, const fs::path& relative) {
        const fs::path target = m_dir / relative;
        createFolders(target.parent_path());
        std::error_code ec;
        const bool existed = fs::exists(fs::symlink_status(target, ec));
        fs::rename(stagingPath(index), target);
        if (!existed) m_placedFiles.push_back(target);
    }

    void commit() {
        std::error_code ignored;
        fs::remove_all(m_staging, ignored);
        m_committed = true;
    }

private:
    // Creates `folder` and its missing parents, noting each one created.
    void createFolders(const fs::path& folder) {
        std::vector<fs::path> missing;
        for (fs::path at = folder; !at.empty() && !fs::exists(at); at = at.parent_path()) {
            missing.push_back(at);
            if (at == at.parent_path()) break;
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            fs::create_directory(*it);
            m_createdFolders.push_back(*it);
        }
    }

    fs::path m_dir;
    fs::path m_staging;
    std::vector<fs::path> m_createdFolders;
    std::vector<fs::path> m_placedFiles;  // files that did not exist before this run
    bool m_committed = false;
};

class Unpacker {
public:
    Unpacker(const fs::path& file, const fs::path& dir, const UnpackOptions& options)
        : m_file(file), m_dir(dir), m_options(options), m_name(file.string()) {}

    UnpackResult run() {
        try {
            unpack();
        } catch (const fs::filesystem_error& e) {
            fail(e.path1().string() + ": " + e.code().message());
        }
        return std::move(m_result);
    }

    // The caption of the first window definition, as the bytes the help file stores.
    std::optional<std::string> caption() { return window().caption; }

    // The first window definition: caption, home page and the contents file's generator.
    WindowDefinition window() {
        try {
            return readWindow();
        } catch (const fs::filesystem_error& e) {
            fail(e.path1().string() + ": " + e.code().message());
        }
    }

private:
    [[noreturn]] void fail(const std::string& reason) const {
        throw UnpackError("cannot unpack " + m_name + ": " + reason);
    }

    bool stopRequested() const { return m_options.stopRequested && m_options.stopRequested(); }

    void stopIfRequested() const {
        if (stopRequested()) throw UnpackStopped();
    }

    void unpack() {
        checkLibrary();
        const FileDescriptor input(openInput());
        m_fileSize = sizeOf(input.get());
        const HelpFileHeader header = readHeader(input.get());
        for (const HeaderPatch& patch : header.patches) m_result.repairs.push_back(patch.reason);

        MspackIo io(header.patches);
        io.setStopCheck(m_options.stopRequested);
        const Decompressor decompressor(mspack_create_chm_decompressor(io.system()));
        if (!decompressor) fail("out of memory");
        const OpenedHelpFile chm(decompressor.get(), openDirectory(decompressor.get(), io));
        // libmspack hands out what it could read of a damaged directory, with this warning.
        for (const std::string& message : io.messages())
            if (message.find("contents are corrupt") != std::string::npos)
                fail("the directory is corrupt: some of its entries cannot be read");

        std::vector<PlannedFile> plan = planFiles(chm);
        checkExtents(chm, plan);
        checkSpace(plan);
        checkTargets(plan);

        // Section by section, front to back: the compressed section then decodes in one pass
        // instead of starting over from a reset point for each file.
        std::stable_sort(plan.begin(), plan.end(), [](const PlannedFile& a, const PlannedFile& b) {
            return a.compressed != b.compressed ? !a.compressed : a.offset < b.offset;
        });
        stopIfRequested();
        try {
            OutputTransaction output(m_dir);
            for (std::size_t n = 0; n < plan.size(); ++n) {
                stopIfRequested();
                extract(decompressor.get(), io, output.stagingPath(n), plan[n]);
            }
            for (std::size_t n = 0; n < plan.size(); ++n) {
                stopIfRequested();
                output.place(n, plan[n].relative);
            }
            output.commit();
        } catch (const fs::filesystem_error& e) {
            fail("cannot write " + printablePath(e.path1()) + ": " + e.code().message());
        }
    }

    WindowDefinition readWindow() {
        checkLibrary();
        const FileDescriptor input(openInput());
        m_fileSize = sizeOf(input.get());
        const HelpFileHeader header = readHeader(input.get());
        MspackIo io(header.patches);
        const Decompressor decompressor(mspack_create_chm_decompressor(io.system()));
        if (!decompressor) fail("out of memory");
        const OpenedHelpFile chm(decompressor.get(), openDirectory(decompressor.get(), io));
        const std::optional<std::string> windows =
            readSystemFile(decompressor.get(), io, chm, "/#WINDOWS");
        const std::optional<std::string> strings =
            readSystemFile(decompressor.get(), io, chm, "/#STRINGS");
        WindowDefinition window;
        if (!windows || !strings) return window;
        window.caption = firstWindowString(*windows, *strings, kWindowCaptionAt);
        window.home = firstWindowString(*windows, *strings, kWindowHomeAt);
        if (const auto contents = firstWindowString(*windows, *strings, kWindowContentsAt)) {
            std::string name = *contents;
            if (!name.starts_with('/')) name.insert(0, 1, '/');
            if (const auto page = readSystemFile(decompressor.get(), io, chm, name))
                window.generator = generatorOf(*page);
        }
        return window;
    }

    // The bytes of the system file `name` ("/#WINDOWS"), or nothing when the help file has
    // none or it is larger than such a file ever is.
    std::optional<std::string> readSystemFile(mschm_decompressor* decompressor, const MspackIo& io,
                                              const OpenedHelpFile& chm, std::string_view name) {
        for (mschmd_file* entry = chm->files; entry != nullptr; entry = entry->next) {
            if (std::string_view(entry->filename) != name) continue;
            if (entry->section == nullptr || entry->offset < 0 || entry->length < 0 ||
                entry->length > kMaxSystemFileSize)
                return std::nullopt;
            const TemporaryFolder folder;
            const fs::path path = folder.path() / "system-file";
            PlannedFile planned{entry, path.filename(), entry->section->id == 1,
                                static_cast<std::uint64_t>(entry->offset),
                                static_cast<std::uint64_t>(entry->length)};
            extract(decompressor, io, path, planned);
            std::string bytes(static_cast<std::size_t>(entry->length), '\0');
            const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            if (fd.get() < 0) fail(errnoText(errno));
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
                if (n <= 0) fail("cannot read back " + std::string(name));
                done += static_cast<std::size_t>(n);
            }
            return bytes;
        }
        return std::nullopt;
    }

    void checkLibrary() const {
        int selftest = MSPACK_ERR_OK;
        MSPACK_SYS_SELFTEST(selftest);
        if (selftest != MSPACK_ERR_OK) fail("libmspack was built for another file offset size");
    }

    // Checked before opening, so that a pipe or a device is never opened (that could block).
    int openInput() const {
        struct stat info {};
        if (::stat(m_file.c_str(), &info) != 0)
            fail(errno == ENOENT ? "there is no such file" : errnoText(errno));
        if (S_ISDIR(info.st_mode)) fail("it is a folder, not a file");
        if (!S_ISREG(info.st_mode)) fail("it is not a regular file");
        const int fd = ::open(m_file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) fail(errnoText(errno));
        return fd;
    }

    std::uint64_t sizeOf(int fd) const {
        struct stat info {};
        if (::fstat(fd, &info) != 0) fail(errnoText(errno));
        return static_cast<std::uint64_t>(info.st_size);
    }

    HelpFileHeader readHeader(int fd) const {
        try {
            return readHelpFileHeader(fd, m_fileSize);
        } catch (const HelpFileError& e) {
            fail(e.what());
        }
    }

    mschmd_header* openDirectory(mschm_decompressor* decompressor, const MspackIo& io) const {
        mschmd_header* header = decompressor->open(decompressor, m_file.c_str());
        if (header == nullptr) {
            switch (decompressor->last_error(decompressor)) {
                case MSPACK_ERR_SIGNATURE:
                    fail("not a compiled help file");
                case MSPACK_ERR_READ:
                case MSPACK_ERR_SEEK:
                    fail("the directory is truncated at byte " + std::to_string(m_fileSize));
                case MSPACK_ERR_OPEN:
                    fail(errnoText(io.lastErrno()));
                case MSPACK_ERR_NOMEMORY:
                    fail("out of memory");
                default:
                    fail("the directory is corrupt");
            }
        }
        return header;
    }

    std::vector<PlannedFile> planFiles(const OpenedHelpFile& chm) {
        std::vector<PlannedFile> plan;
        std::unordered_map<std::string, std::size_t> byPath;
        for (mschmd_file* entry = chm->files; entry != nullptr; entry = entry->next) {
            const std::string_view name = entry->filename;
            const EntryPath where = classifyEntry(name);
            if (where.kind == EntryKind::Refused) {
                m_result.warnings.push_back("skipped " + printable(name) + ": " + where.reason);
                continue;
            }
            if (where.kind != EntryKind::File) continue;
            // The system takes paths of PATH_MAX bytes with the terminating NUL.
            if (const std::size_t length = (m_dir / where.path).native().size();
                length >= PATH_MAX) {
                m_result.warnings.push_back("skipped " + printable(name) + ": its path in " +
                                            printablePath(m_dir) + " would be " +
                                            std::to_string(length) +
                                            " bytes long, longer than the system allows");
                continue;
            }
            if (entry->section == nullptr || entry->offset < 0 || entry->length < 0)
                fail("the directory is corrupt: " + printable(name) + " has no valid place");
            PlannedFile planned{entry, where.path, entry->section->id == 1,
                                static_cast<std::uint64_t>(entry->offset),
                                static_cast<std::uint64_t>(entry->length)};
            const auto [it, added] = byPath.try_emplace(planned.relative.string(), plan.size());
            if (added) {
                plan.push_back(std::move(planned));
            } else {
                m_result.warnings.push_back("skipped an earlier " + printable(name) +
                                            ": the name is stored twice; the later one is kept");
                plan[it->second] = std::move(planned);
            }
        }

        // A name that is both a file and the folder of other files keeps the folder.
        std::set<std::string> folders;
        for (const PlannedFile& planned : plan)
            for (fs::path at = planned.relative.parent_path(); !at.empty(); at = at.parent_path())
                folders.insert(at.string());
        std::erase_if(plan, [&](const PlannedFile& planned) {
            if (!folders.contains(planned.relative.string())) return false;
            m_result.warnings.push_back("skipped " + printable(planned.entry->filename) +
                                        ": other entries use the name as a folder");
            return true;
        });
        return plan;
    }

    // Every stored byte must lie inside the file, before any decoding starts.
    void checkExtents(const OpenedHelpFile& chm, const std::vector<PlannedFile>& plan) {
        if (chm->sec0.offset < 0) fail("the file header is corrupt");
        const auto base = static_cast<std::uint64_t>(chm->sec0.offset);
        auto fits = [&](std::uint64_t offset, std::uint64_t length) {
            return base <= m_fileSize && offset <= m_fileSize - base &&
                   length <= m_fileSize - base - offset;
        };
        bool anyCompressed = false;
        for (const PlannedFile& planned : plan) {
            anyCompressed = anyCompressed || planned.compressed;
            if (!planned.compressed && !fits(planned.offset, planned.length))
                fail("section 0 is truncated at byte " + std::to_string(m_fileSize) + " (" +
                     printable(planned.entry->filename) + " lies beyond it)");
        }
        if (!anyCompressed) return;
        mschmd_sec_mscompressed& section = chm->sec1;
        if (section.content == nullptr) fail("section 1 has no compressed data");
        if (section.content->offset < 0 || section.content->length < 0 ||
            !fits(static_cast<std::uint64_t>(section.content->offset),
                  static_cast<std::uint64_t>(section.content->length)))
            fail("section 1 is truncated at byte " + std::to_string(m_fileSize));
        // libmspack looks up a missing control record through the directory's index chunks,
        // which it walks without a guard against loops. An empty stand-in fails cleanly instead.
        for (mschmd_file** record : {&section.control, &section.rtable, &section.spaninfo}) {
            if (*record != nullptr) continue;
            m_standIns.push_back(std::make_unique<mschmd_file>());
            mschmd_file& standIn = *m_standIns.back();
            standIn.section = &chm->sec0.base;
            standIn.filename = m_emptyName.data();
            *record = &standIn;
        }
    }

    void checkSpace(const std::vector<PlannedFile>& plan) const {
        constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
        std::uint64_t total = 0;
        for (const PlannedFile& planned : plan)
            total = planned.length > kMax - total ? kMax : total + planned.length;
        if (m_options.maxSize && total > *m_options.maxSize)
            fail("its files need " + std::to_string(total) + " bytes, more than the limit of " +
                 std::to_string(*m_options.maxSize) +
                 " bytes that --max-size set; give a larger --max-size to allow more");
        if (const std::uint64_t limit = defaultSizeLimit(m_fileSize);
            !m_options.maxSize && total > limit)
            fail("its files need " + std::to_string(total) + " bytes, more than the limit of " +
                 std::to_string(limit) + " bytes (" + std::to_string(UnpackOptions::kSizeFactor) +
                 " times the help file's size); give --max-size BYTES to allow more");
        fs::path at = fs::absolute(m_dir);
        while (!fs::exists(at) && at.has_relative_path()) at = at.parent_path();
        struct statvfs space {};
        if (::statvfs(at.c_str(), &space) != 0)
            fail("cannot tell the free space of " + printablePath(at) + ": " + errnoText(errno));
        const std::uint64_t available = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
        if (total > available)
            fail("its files need " + std::to_string(total) + " bytes, but " + printablePath(at) +
                 " has only " + std::to_string(available) + " bytes free");
    }

    // Every folder on the way to a target must be a real folder (not a link that leads
    // elsewhere), and no target may be a folder.
    void checkTargets(const std::vector<PlannedFile>& plan) const {
        std::error_code ec;
        const fs::file_status dirStatus = fs::status(m_dir, ec);
        if (fs::exists(dirStatus) && !fs::is_directory(dirStatus))
            fail(printablePath(m_dir) + " is not a folder");
        std::set<fs::path> checked;
        for (const PlannedFile& planned : plan) {
            fs::path at = m_dir;
            for (const fs::path& part : planned.relative.parent_path()) {
                at /= part;
                if (!checked.insert(at).second) continue;
                const fs::file_status status = fs::symlink_status(at, ec);
                if (fs::exists(status) && !fs::is_directory(status))
                    fail(printablePath(at) + " is in the way: it is not a folder");
            }
            const fs::path target = m_dir / planned.relative;
            if (fs::is_directory(fs::symlink_status(target, ec)))
                fail(printablePath(target) + " is in the way: it is a folder");
        }
    }

    // Unpacks `planned` into the file `path`.
    void extract(mschm_decompressor* decompressor, const MspackIo& io, const fs::path& path,
                 const PlannedFile& planned) {
        const std::string name = printable(planned.entry->filename);
        const char* section = planned.compressed ? "section 1" : "section 0";
        const int status = decompressor->extract(decompressor, planned.entry, path.c_str());
        // A stop request fails the write under way; that is no fault of the file.
        if (status != MSPACK_ERR_OK) stopIfRequested();
        switch (status) {
            case MSPACK_ERR_OK:
                break;
            case MSPACK_ERR_OPEN:
            case MSPACK_ERR_WRITE:
                fail("cannot write " + printablePath(m_dir / planned.relative) + ": " +
                     errnoText(io.lastErrno()));
            case MSPACK_ERR_READ:
            case MSPACK_ERR_SEEK:
                fail(std::string(section) + " is truncated at byte " + std::to_string(m_fileSize) +
                     " (reading " + name + ")");
            case MSPACK_ERR_NOMEMORY:
                fail("out of memory");
            case MSPACK_ERR_DECRUNCH:
                fail(std::string(section) + " is corrupt: the compressed data of " + name +
                     " does not decode");
            default:
                fail(std::string(section) + " is corrupt: its control data does not fit (reading " +
                     name + ")");
        }
        std::error_code ec;
        const std::uintmax_t written = fs::file_size(path, ec);
        if (ec || written != planned.length)
            fail(name + " came out " + std::to_string(ec ? 0 : written) +
                 " bytes long instead of " + std::to_string(planned.length));
        ++m_result.fileCount;
        m_result.byteCount += planned.length;
    }

    fs::path m_file;
    fs::path m_dir;
    UnpackOptions m_options;
    std::string m_name;  // the help file as the caller named it, for messages
    std::uint64_t m_fileSize = 0;
    UnpackResult m_result;
    std::vector<std::unique_ptr<mschmd_file>> m_standIns;
    std::string m_emptyName;
};

}  // namespace

std::uint64_t defaultSizeLimit(std::uint64_t fileSize) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t scaled =
        fileSize > kMax / UnpackOptions::kSizeFactor ? kMax : fileSize * UnpackOptions::kSizeFactor;
    return std::max(scaled, UnpackOptions::kMinimumSizeLimit);
}

UnpackResult unpackHelpFile(const std::filesystem::path& file, const std::filesystem::path& dir,
                            const UnpackOptions& options) {
    return Unpacker(file, dir, options).run();
}

std::optional<std::string> readWindowCaption(const std::filesystem::path& file) {
    return Unpacker(file, {}, {}).caption();
}

WindowDefinition readWindowDefinition(const std::filesystem::path& file) {
    return Unpacker(file, {}, {}).window();
}

}  // namespace quillet
