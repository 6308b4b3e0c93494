#include "fuzz/targets.h"

#include "distill/bookmarks.h"
#include "distill/chm_distill.h"
#include "distill/html_tags.h"
#include "distill/topic_file.h"
#include "distill/web_archive.h"
#include "engine/document_model.h"
#include "engine/docx_reader.h"
#include "engine/html/css.h"
#include "engine/html/web_page_reader.h"
#include "hh/chm_unpacker.h"
#include "platform/utf.h"
#include "project/sitemap.h"
#include "project/system_records.h"
#include "project/title_list.h"
#include "text/code_pages.h"
#include "text/entities.h"
#include "text/html_text.h"
#include "text/numbers.h"

#include <zip.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

namespace quillet::fuzz {

namespace {

// The code pages a text input may be in, picked by its first byte: Western, UTF-8, and the
// multi-byte and Cyrillic ones that the sample help files use.
constexpr std::array<int, 6> kCodePages = {1252, 65001, 936, 1251, 932, 950};

// A text input: its first byte chooses the options, the rest is the text.
struct TextInput {
    std::uint8_t options = 0;
    int codePage = 1252;
    std::u16string text;
};

TextInput textInput(const std::uint8_t* data, std::size_t size) {
    TextInput in;
    if (size == 0) return in;
    in.options = data[0];
    in.codePage = kCodePages[in.options % kCodePages.size()];
    in.text = DecodeCodePage(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1),
                             in.codePage);
    return in;
}

std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// What the fuzzer reports: the reason on stderr, then the process ends as a crash does.
[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz target: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// A folder of this process under the temporary folder, empty at each call; removed when the
// process ends normally.
class ScratchFolder {
public:
    ScratchFolder()
        : m_path(std::filesystem::temp_directory_path() /
                 ("quillet-fuzz-" + std::to_string(::getpid()))) {}
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& fresh() {
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
        return m_path;
    }

private:
    std::filesystem::path m_path;
};

const std::filesystem::path& freshScratch() {
    static ScratchFolder folder;
    return folder.fresh();
}

void writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) fail("cannot write " + file.string());
}

// A zip file of the parts "NAME\0CONTENT\0..." (a last part may lack its NUL).
void writeZipOfParts(const std::filesystem::path& file, std::string_view parts) {
    int error = 0;
    zip_t* zip = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (zip == nullptr) fail("cannot create " + file.string());
    while (!parts.empty()) {
        const std::size_t nameEnd = std::min(parts.find('\0'), parts.size());
        const std::string name(parts.substr(0, nameEnd));
        parts.remove_prefix(std::min(nameEnd + 1, parts.size()));
        const std::size_t contentEnd = std::min(parts.find('\0'), parts.size());
        const std::string_view content = parts.substr(0, contentEnd);
        parts.remove_prefix(std::min(contentEnd + 1, parts.size()));
        // libzip copies nothing until it writes: the buffer lives in `parts` until zip_close.
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        if (source == nullptr) fail("zip_source_buffer");
        if (name.empty() || zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0)
            zip_source_free(source);  // a name libzip refuses (empty, repeated) is left out
    }
    if (zip_close(zip) != 0) {
        zip_discard(zip);
        fail("cannot write " + file.string());
    }
}

void checkModel(const engine::DocumentModel& model) {
    if (std::string fault = model.checkInvariants(); !fault.empty())
        fail("the document model is inconsistent: " + fault);
}

// Runs the walkers over the whole page, as the cross-page comparison does, each call having to
// move on; a walk that comes back to where it was would hang the distillation.
void walkWholePage(TChmTopicFile& page, bool down) {
    page.FindText = false;
    page.IniticalizeTags();
    page.i = down ? 1 : page.h;
    const std::size_t limit = page.Body.size() + 2;
    for (std::size_t n = 0;; ++n) {
        if (n > limit) fail(down ? "SearchDown does not move on" : "SearchUp does not move on");
        const int before = page.i;
        if (down) {
            page.SearchDown();
        } else {
            page.SearchUp();
        }
        if (!page.FindText || page.i == before) break;
    }
}

}  // namespace

int fuzzSystemRecords(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);
    try {
        systemFileRecords(bytes, u"fuzz.chm");
    } catch (const std::runtime_error&) {
    }
    try {
        recordsAfterVersionRecord(bytes, u"fuzz.chm");
    } catch (const std::runtime_error&) {
    }
    return 0;
}

int fuzzHelpFile(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);
    const std::filesystem::path& scratch = freshScratch();
    const std::filesystem::path file = scratch / "fuzz.chm";
    writeFile(file, bytes);
    UnpackOptions options;
    options.maxSize = std::uint64_t{16} << 20;  // the scratch folder's share of the disk
    try {
        unpackHelpFile(file, scratch / "out", options);
    } catch (const UnpackError&) {
    }
    try {
        readWindowCaption(file);
    } catch (const UnpackError&) {
    }
    const std::size_t half = size / 2;
    firstWindowCaption(bytes.substr(0, half), bytes.substr(half));
    return 0;
}

int fuzzContents(const std::uint8_t* data, std::size_t size) {
    const TextInput in = textInput(data, size);
    const int entityCodePage = entityBytesCodePage(in.text, in.codePage);
    TTitleLists list;
    try {
        parseContents(in.text, list, entityCodePage);
    } catch (const NumberConversionError&) {
    }
    try {
        parseIndex(in.text, list, entityCodePage);
    } catch (const NumberConversionError&) {
    }
    return 0;
}

int fuzzHtmlText(const std::uint8_t* data, std::size_t size) {
    static constexpr std::array<std::u16string_view, 8> kNames = {
        u"href", u"src", u"name", u"id", u"content", u"charset", u"http-equiv", u""};
    const TextInput in = textInput(data, size);
    try {
        DecodeEntities(in.text);
    } catch (const NumberConversionError&) {
    }
    GetAttributeValue(in.text, kNames[(in.options >> 3) % kNames.size()]);
    try {
        GetHtmlTitle(in.text);
    } catch (const NumberConversionError&) {
    }
    const std::size_t half = in.text.size() / 2;
    const std::u16string_view text(in.text);
    IsSimilarText(text.substr(0, half), text.substr(half));
    return 0;
}

int fuzzTopicPage(const std::uint8_t* data, std::size_t size) {
    const TextInput in = textInput(data, size);
    const std::filesystem::path& scratch = freshScratch();
    const std::u16string root = fromPath(scratch) + u"/";
    const std::u16string pageFile = root + u"page.htm";
    try {
        SplitHtmlBody(in.text);
        readAnchorAttributes(in.text);

        TChmTopicFile down(pageFile, u"Title", nullptr, in.text);
        walkWholePage(down, true);
        TChmTopicFile up(pageFile, u"Title", nullptr, in.text);
        walkWholePage(up, false);

        // A page cut by the comparison: a few blocks off its top and bottom, then distilled.
        TChmTopicFile page(pageFile, u"Title", nullptr, in.text);
        page.IniticalizeTags();
        page.i = page.h;
        for (int n = (in.options >> 3) & 3; n > 0; --n) page.SearchUp();
        page.FindText = false;
        page.IniticalizeTags();
        page.i = 1;
        for (int n = (in.options >> 5) & 3; n > 0; --n) page.SearchDown();
        const std::u16string distilled = page.Distiller();
        page.FindAnchors();
        DistillFragment(distilled, u"Title");

        TCHMDistill job;
        job.rootFolder = root;
        TTitleList& entry = job.List.add();
        entry.Url = u"page.htm";
        entry.Bookmark = u"Bookmark1";
        job.AddHint = true;
        job.HintFormat = u"see [Title No.]";
        job.ProcessSCR(in.text, pageFile);
        job.ChangeUrlBookmark(in.text, entry);
    } catch (const NumberConversionError&) {
    }
    return 0;
}

int fuzzWebPage(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);
    const std::filesystem::path& scratch = freshScratch();
    const std::filesystem::path page = scratch / "page.htm";
    writeFile(page, bytes);
    {
        engine::DocumentModel model;
        engine::html::readWebPage(model, fromPath(page), fromPath(scratch));
        checkModel(model);
    }
    engine::html::StyleSheetSet sheets;
    sheets.add(bytes);
    engine::html::parseDeclarations(bytes);
    return 0;
}

int fuzzWebArchive(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path& scratch = freshScratch();
    const std::u16string root = fromPath(scratch) + u"/";
    unpackWebArchive(bytesOf(data, size), root + u"topic.mht", root);
    return 0;
}

int fuzzDocx(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = bytesOf(data, size);
    const std::filesystem::path& scratch = freshScratch();
    const std::filesystem::path file = scratch / "fuzz.docx";
    if (bytes.substr(0, 2) == "PK") {
        writeFile(file, bytes);
    } else {
        writeZipOfParts(file, bytes);
    }
    engine::DocumentModel model;
    try {
        engine::readDocx(model, fromPath(file));
    } catch (const std::runtime_error&) {
        return 0;
    }
    checkModel(model);
    return 0;
}

Target targetNamed(std::string_view name) {
    struct Named {
        std::string_view name;
        Target target;
    };
    static constexpr Named kTargets[] = {
        {"system_records", fuzzSystemRecords},
        {"help_file", fuzzHelpFile},
        {"contents", fuzzContents},
        {"html_text", fuzzHtmlText},
        {"topic_page", fuzzTopicPage},
        {"web_page", fuzzWebPage},
        {"web_archive", fuzzWebArchive},
        {"docx", fuzzDocx},
    };
    for (const Named& t : kTargets)
        if (t.name == name) return t.target;
    return nullptr;
}

}  // namespace quillet::fuzz
