#include "project/chm_decompile.h"

#include "platform/ascii.h"
#include "platform/case_insensitive_path.h"
#include "platform/mapped_file.h"
#include "platform/process.h"
#include "platform/translation.h"
#include "platform/utf.h"
#include "project/sitemap.h"
#include "project/system_records.h"
#include "text/code_pages.h"
#include "text/confined_path.h"
#include "text/entities.h"
#include "text/html_text.h"
#include "text/language_table.h"
#include "text/text_files.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>

namespace quillet {

namespace {

// The code page that most of the pages below `folder` declaring one agree on (more than half
// of them), or 0. Only each page's head is read. Unicode declarations say nothing of the code
// page the help file's names and contents are in, so they are not counted; nor are Western ones.
int declaredCodePageOfPages(const std::filesystem::path& folder) {
    std::map<int, int> votes;
    int declaring = 0;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError)) continue;
        const std::u16string ext = foldCase(fromPath(it->path().extension()));
        if (ext != u".htm" && ext != u".html") continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::string head(2048, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        const std::string lower = lowerAscii(head);
        const std::size_t at = lower.find("charset=");
        if (at == std::string::npos) continue;
        std::size_t stop = at + 8;
        while (stop < lower.size() && lower[stop] != '"' && lower[stop] != '\'' &&
               lower[stop] != ';' && lower[stop] != '>' && lower[stop] != ' ')
            ++stop;
        const int encoding =
            GetTextEncoding(u"charset=" + fromUtf8(lower.substr(at + 8, stop - at - 8)));
        // Western declarations are left out too: English pages of a help file whose names and
        // contents are in another script declare them as often as not.
        if (encoding <= 2 || encoding == 1252 || encoding == 28591 || encoding == 20127) continue;
        ++declaring;
        ++votes[encoding];
    }
    for (const auto& [codePage, count] : votes)
        if (count * 2 > declaring) return codePage;
    return 0;
}

std::u16string hexId(std::int16_t id) {
    char buf[16];
    // A negative identifier shows as its 32-bit form, as the language table's look-up sees it.
    std::snprintf(buf, sizeof buf, "0x%04X", static_cast<unsigned>(static_cast<std::int32_t>(id)));
    return fromUtf8(buf);
}

bool isDirectory(const std::filesystem::directory_entry& e) {
    std::error_code ec;
    return e.is_directory(ec);
}

std::u16string findFileByExt(const std::filesystem::path& folder, const std::u16string& ext) {
    std::error_code ec;
    std::vector<std::filesystem::directory_entry> entries;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        entries.push_back(*it);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        const std::u16string x = foldCase(fromPath(a.path().filename()));
        const std::u16string y = foldCase(fromPath(b.path().filename()));
        return x != y ? x < y : a.path().filename() < b.path().filename();
    });
    const std::u16string wanted = foldCase(ext);
    for (const auto& entry : entries) {
        if (isDirectory(entry)) {
            if (std::u16string found = findFileByExt(entry.path(), ext); !found.empty())
                return found;
            continue;
        }
        const std::u16string name = fromPath(entry.path().filename());
        const std::size_t dot = name.rfind(u'.');
        if (dot != std::u16string::npos && foldCase(name.substr(dot)) == wanted)
            return fromPath(entry.path());
    }
    return {};
}

// The last non-empty line of a program's output: its reason for failing.
std::string lastLine(const std::string& output) {
    std::size_t end = output.find_last_not_of("\r\n");
    if (end == std::string::npos) return {};
    const std::size_t start = output.rfind('\n', end);
    return output.substr(start == std::string::npos ? 0 : start + 1,
                         end - (start == std::string::npos ? 0 : start + 1) + 1);
}

std::u16string decimal(int n) {
    return fromUtf8(std::to_string(n));
}

// The exit codes of a program ended by SIGHUP, SIGINT or SIGTERM, whether the signal killed it
// or it caught the signal, cleaned up and exited with 128 + the signal as quillet-hh does.
bool endedByStopSignal(int exitCode) {
    return exitCode == 128 + SIGHUP || exitCode == 128 + SIGINT || exitCode == 128 + SIGTERM;
}

}  // namespace

void TCHMDecompile::LoadFromCHM(const std::u16string& ChmFile) {
    const MappedFile file(toPath(ChmFile));
    const std::string_view bytes = file.bytes();
    const std::optional<SystemRecords> records = readSystemRecords(bytes, ChmFile);
    chmFile = ChmFile;
    if (!records) return;
    if (records->languageId) {
        LangID = hexId(*records->languageId);
        rCodePage = CodePage = LanguageTable().GetCodepageById(LangID);
    }
    // The window definition is read only for what the records leave open.
    std::optional<WindowTexts> window;
    const auto windowTexts = [&]() -> const WindowTexts& {
        if (!window) window = windowDefinition();
        return *window;
    };
    if (records->defaultPage) {
        rDefaultPage = *records->defaultPage;
    } else if (windowTexts().home) {
        rDefaultPage = *windowTexts().home;
    }
    if (!rDefaultPage.empty()) DefaultPage = DecodeCodePage(rDefaultPage, rCodePage);
    if (records->title) {
        rTitle = *records->title;
    } else if (windowTexts().caption &&
               !namesGenerator(*windowTexts().caption, windowTexts().generator)) {
        rTitle = *windowTexts().caption;
    } else if (records->compiledFile) {
        rTitle = *records->compiledFile;
    }
    if (!rTitle.empty()) Title = DecodeCodePage(rTitle, rCodePage);
}

TCHMDecompile::WindowTexts TCHMDecompile::windowDefinition() const {
    // The window definitions sit in the compressed part of the file: quillet-hh reads them.
    try {
        const std::filesystem::path file = std::filesystem::absolute(toPath(chmFile));
        const ProcessResult result =
            RunAndWait({toUtf8(Unpacker), "-window", file.string()}, file.parent_path());
        if (result.exitCode != 0) return {};
        // Three lines: caption, home page, generator; anything else is a message.
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < result.output.size();) {
            const std::size_t end = result.output.find('\n', at);
            if (end == std::string::npos) return {};
            lines.push_back(result.output.substr(at, end - at));
            at = end + 1;
        }
        if (lines.size() != 3) return {};
        const auto given = [](std::string& line) -> std::optional<std::string> {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) return std::nullopt;
            return std::move(line);
        };
        return {given(lines[0]), given(lines[1]), given(lines[2])};
    } catch (const std::system_error&) {
        return {};  // no quillet-hh to ask: the file's name stands in later
    }
}

bool namesGenerator(std::string_view caption, const std::optional<std::string>& generator) {
    const auto folded = [](std::string_view text) {
        std::string out;
        for (char c : text)
            if (c != ' ' && c != '\t')
                out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    };
    const std::string name = folded(caption);
    if (name.empty()) return false;
    // The authoring tools that put their own name in the window leave it in the contents file's
    // GENERATOR meta too, often with more words ("Visual CHM V4.1 build 12").
    if (generator) {
        const std::string tool = folded(*generator);
        if (!tool.empty() &&
            (tool.find(name) != std::string::npos || name.find(tool) != std::string::npos))
            return true;
    }
    return false;
}

void TCHMDecompile::decompile() {
    if (FOnChange) FOnChange(tr16(QT_TRANSLATE_NOOP("quillet", "Decompiling...")), 1);

    const std::filesystem::path root = toPath(rootFolder);
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec) throw std::runtime_error("Cannot create " + toUtf8(rootFolder) + ": " + ec.message());

    {
        const std::filesystem::path copy = root / "_$$.chm";
        struct RemoveCopy {
            std::filesystem::path path;
            ~RemoveCopy() {
                std::error_code ignored;
                std::filesystem::remove(path, ignored);
            }
        } removeCopy{copy};
        std::filesystem::copy_file(toPath(chmFile), copy,
                                   std::filesystem::copy_options::skip_existing, ec);
        // A copy cut short (a full disk) would read as a truncated help file. A full disk may
        // fail the copy as an input/output error: say what it is.
        if (ec) {
            std::string why = ec.message();
            std::error_code ignored;
            const auto needed = std::filesystem::file_size(toPath(chmFile), ignored);
            const auto space = std::filesystem::space(root, ignored);
            if (!ignored && space.available < needed)
                why = "no space left on the disk (" + std::to_string(needed) + " bytes needed, " +
                      std::to_string(space.available) + " free)";
            throw std::runtime_error("Cannot copy the help file into " + toUtf8(rootFolder) + ": " +
                                     why);
        }
        std::u16string command = Unpacker + u" -decompile . _$$.chm";
        if (MaxUnpackSize != 0)
            command += u" --max-size " + fromUtf8(std::to_string(MaxUnpackSize));
        const auto askForCancel = [this] {
            if (FOnChange) FOnChange(u"", 0);
        };
        const ProcessResult result = RunAndWait(command, root, askForCancel);
        if (result.exitCode != 0) {
            // Ctrl-C and a closed terminal reach quillet-hh together with this program, so
            // quillet-hh often ends of the signal before a cancel request has been noticed here.
            // Ended so while a cancel is pending, it is that cancel and no failure: the progress
            // event raises it (and the quillet command exits 130, as for any cancel). Without a
            // pending cancel it is a failure like any other.
            const bool stopped = endedByStopSignal(result.exitCode);
            if (stopped) askForCancel();
            std::string reason = lastLine(result.output);
            if (stopped)
                reason = "quillet-hh was stopped by a signal (exit code " +
                         std::to_string(result.exitCode) + ")";
            else if (reason.empty())
                reason = "quillet-hh failed with exit code " + std::to_string(result.exitCode);
            // quillet-hh names the working copy it was given; the user knows the file by its name.
            constexpr std::string_view kCopyPrefix = "quillet-hh: cannot unpack _$$.chm: ";
            if (reason.starts_with(kCopyPrefix)) reason.erase(0, kCopyPrefix.size());
            const std::u16string& named = OriginalFile.empty() ? chmFile : OriginalFile;
            throw std::runtime_error("cannot unpack " + toUtf8(named) + ": " + reason);
        }
    }

    FileName = fromPath(toPath(chmFile).stem());
    if (CodePageSource == u"locale") adoptCodePageOfPages();

    const auto named = [&](const char* ext) -> std::u16string {
        if (const auto found = findExistingPath(root / (toPath(FileName).string() + ext)))
            return fromPath(*found);
        return FindFileByExt(rootFolder, fromUtf8(ext));
    };
    hhcFile = named(".hhc");
    LoadContents();
    if (List.empty()) addDefaultTopicEntry();
    hhkFile = named(".hhk");
    LoadIndex();
}

void TCHMDecompile::adoptCodePageOfPages() {
    const int declared = declaredCodePageOfPages(toPath(rootFolder));
    if (declared == 0 || declared == CodePage || !hasConverter(declared)) return;
    CodePage = declared;
    CodePageSource = u"pages";
    Title = DecodeCodePage(rTitle, CodePage);
    DefaultPage = DecodeCodePage(rDefaultPage, CodePage);
}

void TCHMDecompile::addDefaultTopicEntry() {
    std::u16string page = DefaultPage;
    while (!page.empty() && (page.front() == u'/' || page.front() == u'\\')) page.erase(0, 1);
    // The default topic comes from the help file: it must name a page inside the project.
    const bool usable = !page.empty() && page.find(u"://") == std::u16string::npos &&
                        fileInsideFolder(rootFolder + page, rootFolder).has_value();
    if (!usable) {
        // No default topic to start from: the start page a web folder would have, else the
        // first page of the project, if any.
        std::u16string first;
        for (const char16_t* name :
             {u"index.htm", u"index.html", u"default.htm", u"default.html"}) {
            if (auto found = fileInsideFolder(rootFolder + name, rootFolder)) {
                first = std::move(*found);
                break;
            }
        }
        if (first.empty()) first = FindFileByExt(rootFolder, u".htm");
        if (first.empty()) first = FindFileByExt(rootFolder, u".html");
        if (first.empty()) return;
        page = first.substr(rootFolder.size());
    }
    TTitleList& entry = List.add();
    entry.Level = 0;
    entry.Url = page;
    entry.Status = 0;
    entry.Topic = Title;
    if (entry.Topic.empty()) entry.Topic = GetHtmlTitle(ReadTextFile(rootFolder + page, u""));
    if (entry.Topic.empty()) entry.Topic = FileName;
    entry.ContextNumber = u"1000";
}

void TCHMDecompile::LoadContents() {
    if (hhcFile.empty()) return;
    const std::u16string text = LoadTextFile(hhcFile, decimal(CodePage));
    parseContents(text, List, entityBytesCodePage(text, CodePage));
    checkEntryCount(List.size(), "contents entries");
}

void TCHMDecompile::checkEntryCount(std::size_t count, const char* what) const {
    if (MaxEntries != 0 && count > MaxEntries)
        throw std::runtime_error("the help file has " + std::to_string(count) + " " + what +
                                 ", more than the limit of " + std::to_string(MaxEntries) +
                                 " (--max-entries N allows more)");
}

void TCHMDecompile::LoadIndex() {
    if (hhkFile.empty()) return;
    const std::u16string text = LoadTextFile(hhkFile, decimal(CodePage));
    parseIndex(text, List, entityBytesCodePage(text, CodePage));
}

std::u16string FindFileByExt(const std::u16string& Folder, const std::u16string& Ext) {
    return findFileByExt(toPath(Folder), Ext);
}

}  // namespace quillet
