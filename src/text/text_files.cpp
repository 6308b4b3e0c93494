#include "text/text_files.h"

#include "platform/ascii.h"
#include "platform/case_insensitive_path.h"
#include "platform/file_in_use.h"
#include "platform/temp_files.h"
#include "platform/utf.h"
#include "text/charset_table.h"
#include "text/code_pages.h"
#include "text/numbers.h"
#include "text/text_context.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace quillet {

namespace {

bool endsCharsetName(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u'"' || c == u'\'' || c == u'>';
}

// The first "charset=" in any letter case; npos when none.
std::size_t findCharset(std::u16string_view text) {
    static constexpr std::u16string_view kKey = u"charset=";
    for (std::size_t i = text.find(u'='); i != std::u16string_view::npos;
         i = text.find(u'=', i + 1)) {
        if (i + 1 < kKey.size()) continue;
        const std::size_t start = i + 1 - kKey.size();
        bool match = true;
        for (std::size_t k = 0; k + 1 < kKey.size() && match; ++k)
            match = lowerAscii(text[start + k]) == kKey[k];
        if (match) return start;
    }
    return std::u16string_view::npos;
}

std::string errorText(int err) {
    return std::strerror(err);
}

// The whole file that `fd` has open; `path` names it in messages.
std::atomic<std::uint64_t> g_maxTextFileBytes{kDefaultMaxTextFileBytes};

// The bytes of the open file `fd`; more than `limit` bytes are refused (0: no limit).
std::string readOpenFile(int fd, const std::filesystem::path& path, std::uint64_t limit = 0) {
    const auto fail = [&](const std::string& cause) {
        throw std::runtime_error("cannot read " + path.string() + ": " + cause);
    };
    struct stat status {};
    if (::fstat(fd, &status) != 0) fail(errorText(errno));
    // A folder opens too, and reads as an error.
    if (S_ISDIR(status.st_mode)) fail("it is a folder");
    if (limit != 0 && static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0)) > limit)
        fail("it is " + std::to_string(status.st_size) + " bytes, more than the limit of " +
             std::to_string(limit) +
             " bytes for one text file (--max-page-size BYTES allows more)");
    std::string bytes;
    // One byte more than the size, so that a file of the size it claims ends in one read.
    bytes.resize(static_cast<std::size_t>(std::max<off_t>(status.st_size, 0)) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
        const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("read failed");
        }
        filled += static_cast<std::size_t>(n);
    }
    bytes.resize(filled);
    return bytes;
}

// Closes a file descriptor when it goes out of scope.
class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

int openForReading(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

// Removes a file when it goes out of scope.
class TemporaryCopy {
public:
    ~TemporaryCopy() {
        if (m_path) {
            std::error_code ec;
            std::filesystem::remove(*m_path, ec);
        }
    }
    void set(std::filesystem::path path) { m_path = std::move(path); }

private:
    std::optional<std::filesystem::path> m_path;
};

// The bytes of the file `path`, more than `limit` refused (0: no limit). Throws "cannot read
// FILE: cause".
std::string readWholeFile(const std::filesystem::path& path, std::uint64_t limit) {
    const OpenFile file(openForReading(path));
    if (file.fd() < 0)
        throw std::runtime_error("cannot read " + path.string() + ": " + errorText(errno));
    return readOpenFile(file.fd(), path, limit);
}

}  // namespace

std::u16string GetHtmlCharset(std::u16string_view Text) {
    const std::size_t at = findCharset(Text);
    if (at == std::u16string_view::npos) return {};
    std::size_t pos = at + 8;
    // charset="utf-8": the name is inside the quotes. Without this an HTML5 page would be read
    // in the ANSI code page and come out garbled.
    if (pos < Text.size() && (Text[pos] == u'"' || Text[pos] == u'\'')) ++pos;
    std::u16string name;
    for (; pos < Text.size() && !endsCharsetName(Text[pos]); ++pos) name += lowerAscii(Text[pos]);
    return name;
}

void setMaxTextFileBytes(std::uint64_t bytes) {
    g_maxTextFileBytes = bytes;
}

std::uint64_t maxTextFileBytes() {
    return g_maxTextFileBytes;
}

std::string readFileBytes(const std::filesystem::path& File) {
    return readWholeFile(File, 0);
}

std::u16string decodeTextFile(std::string_view Bytes, const std::u16string& CodePage) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(Bytes[i]); };
    if (Bytes.size() >= 2 && byte(0) == 0xEF && byte(1) == 0xBB)
        return DecodeCodePage(Bytes.substr(std::min<std::size_t>(3, Bytes.size())), 65001);
    if (Bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        std::u16string text((Bytes.size() - 2) / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(byte(2 + 2 * i) | (byte(3 + 2 * i) << 8));
        return text;
    }
    std::u16string codePage = CodePage;
    if (codePage.empty())
        codePage = CharsetTable().lookup(GetHtmlCharset(DecodeCodePage(Bytes, 0)));
    if (!codePage.empty()) return DecodeCodePage(Bytes, StrToInt(codePage));
    return DecodeCodePage(Bytes, 0);
}

std::u16string LoadTextFile(const std::u16string& FileName, const std::u16string& CodePage) {
    const std::optional<std::filesystem::path> path = findExistingPath(toPath(FileName));
    if (!path) return {};
    return decodeTextFile(readWholeFile(*path, maxTextFileBytes()), CodePage);
}

std::u16string ReadTextFile(const std::u16string& FileName, const std::u16string& CodePage) {
    try {
        const std::optional<std::filesystem::path> path = findExistingPath(toPath(FileName));
        if (!path) return {};
        // One open serves the in-use check and, for a file nobody holds, the reading.
        const OpenFile file(openForReading(*path));
        const int openError = file.fd() < 0 ? errno : 0;
        if (file.fd() >= 0 && isOpenFileInUse(file.fd(), *path)) {
            TemporaryCopy copy;
            try {
                const std::u16string temp = NewTempFileName();
                copy.set(toPath(temp));
                std::filesystem::copy_file(*path, toPath(temp),
                                           std::filesystem::copy_options::overwrite_existing);
                return decodeTextFile(readWholeFile(toPath(temp), maxTextFileBytes()), CodePage);
            } catch (const std::exception&) {
                // No copy: read the file itself; an error from that is reported below.
            }
        }
        if (file.fd() < 0)
            throw std::runtime_error("cannot read " + path->string() + ": " + errorText(openError));
        return decodeTextFile(readOpenFile(file.fd(), *path, maxTextFileBytes()), CodePage);
    } catch (const std::exception& e) {
        TextUserInterface().showMessage(MessageKind::Error, fromUtf8(e.what()));
        return {};
    }
}

int GetTextEncoding(std::u16string_view Text) {
    const std::u16string name = GetHtmlCharset(Text);
    if (name == u"utf-8") return 1;
    if (name == u"unicode") return 2;
    const std::u16string codePage = CharsetTable().lookup(name);
    return codePage.empty() ? 0 : StrToInt(codePage);
}

void WriteTextToStream(std::u16string_view Text, int Encoding, std::string& Stream) {
    if (Encoding >= 3 && !hasConverter(Encoding)) Encoding = 1;
    if (Encoding == 1) {
        Stream = "\xEF\xBB\xBF" + toUtf8(Text);
    } else if (Encoding == 2) {
        Stream.assign("\xFF\xFE");
        Stream.reserve(2 + Text.size() * 2);
        for (char16_t c : Text) {
            Stream += static_cast<char>(c & 0xFF);
            Stream += static_cast<char>(c >> 8);
        }
    } else {
        Stream = EncodeCodePage(Text, Encoding >= 3 ? Encoding : 0);
    }
}

void WritePageToStream(std::u16string_view Text, std::string& Stream) {
    const int encoding = GetTextEncoding(Text);
    if (encoding == 1 || encoding == 2 || (encoding >= 3 && !hasConverter(encoding))) {
        WriteTextToStream(Text, encoding, Stream);
        return;
    }
    if (std::optional<std::string> bytes = EncodeCodePageExactly(Text, encoding)) {
        Stream = std::move(*bytes);
        return;
    }
    // A character the declared code page cannot hold: the whole page goes as UTF-8, and a
    // declaration says so, so that a reader that trusts it over the mark reads the same text.
    std::u16string text(Text);
    if (const std::size_t at = findCharset(text); at != std::u16string::npos) {
        // The same name GetHtmlCharset reads.
        std::size_t start = at + 8;
        if (start < text.size() && (text[start] == u'"' || text[start] == u'\'')) ++start;
        std::size_t end = start;
        while (end < text.size() && !endsCharsetName(text[end])) ++end;
        text.replace(start, end - start, u"utf-8");
    }
    WriteTextToStream(text, 1, Stream);
}

void writeFileBytes(const std::filesystem::path& File, std::string_view Bytes) {
    const auto fail = [&](int err) {
        throw std::runtime_error("cannot write " + File.string() + ": " + errorText(err));
    };
    // Written over the old content, then cut to the new length, rather than emptied first: an
    // emptied file gives its blocks back and takes them again, which costs some file systems a
    // great deal more than the writing does, and these files are rewritten by the thousand.
    const int fd = ::open(File.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) fail(errno);
    std::size_t written = 0;
    int err = 0;
    while (written < Bytes.size() && err == 0) {
        const ssize_t n = ::write(fd, Bytes.data() + written, Bytes.size() - written);
        if (n >= 0)
            written += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            err = errno;
    }
    // After a failure too: the file holds what was written, nothing of its old content.
    if (::ftruncate(fd, static_cast<off_t>(written)) != 0 && err == 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) fail(err);
}

namespace {

// Writes `bytes` over the file `FileName`. An existing file is replaced whatever the letter case
// it is named in, as the file system help files were written for does; a new file goes into the
// existing folder of that name.
void replaceFileNamed(const std::u16string& FileName, std::string_view bytes) {
    std::filesystem::path target = toPath(FileName);
    if (const auto existing = findExistingPath(target)) {
        target = *existing;
    } else if (const auto folder = findExistingPath(target.parent_path())) {
        target = *folder / target.filename();
    }
    writeFileBytes(target, bytes);
}

}  // namespace

void WriteTextFile(std::u16string_view Text, const std::u16string& FileName, int Encoding) {
    if (Text.empty()) return;
    std::string bytes;
    WriteTextToStream(Text, Encoding, bytes);
    replaceFileNamed(FileName, bytes);
}

bool SaveTextFile(std::u16string_view Text, std::u16string FileName) {
    if (Text.empty()) return true;
    std::string bytes;
    WritePageToStream(Text, bytes);
    for (;;) {
        try {
            replaceFileNamed(FileName, bytes);
            return true;
        } catch (const std::exception& e) {
            UserInterface& ui = TextUserInterface();
            ui.showMessage(MessageKind::Error, fromUtf8(e.what()));
            std::optional<std::u16string> other = ui.askSaveFileName(FileName);
            if (!other) return false;
            FileName = std::move(*other);
        }
    }
}

}  // namespace quillet
