#include "distill/web_archive.h"

#include "distill/chm_distill.h"
#include "distill/html_tags.h"
#include "platform/ascii.h"
#include "platform/user_interface.h"
#include "platform/utf.h"
#include "text/charset_table.h"
#include "text/confined_path.h"
#include "text/html_text.h"
#include "text/text_context.h"
#include "text/text_files.h"

#include <gmime/gmime.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace quillet {

namespace {

// Written first in the page: its text is written back in UTF-8, whatever the archive used.
constexpr std::u16string_view kUtf8Declaration =
    u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GString8 = std::unique_ptr<char, GFree>;

void initializeGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

std::string text8(const char* s) {
    return s != nullptr ? std::string(s) : std::string();
}

// The leaf parts in document order.
void collectParts(GMimeObject* object, std::vector<GMimePart*>& parts) {
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i)
            collectParts(g_mime_multipart_get_part(multipart, i), parts);
    } else if (GMIME_IS_PART(object)) {
        parts.push_back(GMIME_PART(object));
    }
}

bool isHtml(GMimeObject* object) {
    GMimeContentType* type = g_mime_object_get_content_type(object);
    return type != nullptr && g_mime_content_type_is_type(type, "text", "html");
}

// The part's content without its transfer encoding; nothing when the encoding is one GMime does
// not know.
std::optional<std::string> decodedContent(GMimePart* part) {
    if (const char* named =
            g_mime_object_get_header(GMIME_OBJECT(part), "Content-Transfer-Encoding")) {
        std::string name = text8(named);
        while (!name.empty() && static_cast<unsigned char>(name.back()) <= ' ') name.pop_back();
        while (!name.empty() && static_cast<unsigned char>(name.front()) <= ' ') name.erase(0, 1);
        if (!name.empty() &&
            g_mime_content_encoding_from_string(name.c_str()) == GMIME_CONTENT_ENCODING_DEFAULT)
            return std::nullopt;
    }
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (content == nullptr) return std::string();
    GPtr<GMimeStream> out(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, out.get()) < 0) return std::nullopt;
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->len);
}

// A file extension for a part: from its type when known, else from its location when that ends
// in a short one of letters and digits; empty otherwise. Never anything a path could misuse.
std::string extensionFor(GMimeObject* object, const std::string& location) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {"image/png", ".png"},     {"image/jpeg", ".jpg"},  {"image/pjpeg", ".jpg"},
        {"image/gif", ".gif"},     {"image/bmp", ".bmp"},   {"image/x-ms-bmp", ".bmp"},
        {"image/svg+xml", ".svg"}, {"image/webp", ".webp"}, {"image/x-icon", ".ico"},
        {"text/css", ".css"},
    };
    if (GMimeContentType* type = g_mime_object_get_content_type(object)) {
        const GString8 mime(g_mime_content_type_get_mime_type(type));
        const std::string name = mime ? lowerAscii(std::string(mime.get())) : std::string();
        for (const auto& [known, extension] : kTypes)
            if (name == known) return extension;
    }
    std::string path = location.substr(0, location.find_first_of("?#"));
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return {};
    const std::string extension = path.substr(dot);
    if (extension.size() < 2 || extension.size() > 6) return {};
    for (std::size_t i = 1; i < extension.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(extension[i]))) return {};
    return lowerAscii(extension);
}

std::u16string fileNameOf(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::u16string folderOf(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

void warn(const std::u16string& archive, const std::string& what) {
    TextUserInterface().showMessage(MessageKind::Warning,
                                    fromUtf8("web archive " + toUtf8(archive) + ": " + what));
}

}  // namespace

bool isWebArchiveExtension(std::u16string_view extension) {
    return equalsIgnoringAsciiCase(extension, u".mht") ||
           equalsIgnoringAsciiCase(extension, u".mhtml");
}

std::optional<std::u16string> unpackWebArchive(std::string_view bytes,
                                               const std::u16string& archive,
                                               const std::u16string& rootFolder) {
    initializeGMime();
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GPtr<GMimeObject> root(g_mime_parser_construct_part(parser.get(), nullptr));
    if (!root) return std::nullopt;
    // A page without MIME headers is no archive, though GMime reads it as a text part.
    if (g_mime_object_get_header(root.get(), "Content-Type") == nullptr) return std::nullopt;

    std::vector<GMimePart*> parts;
    collectParts(root.get(), parts);
    // The page: the part the multipart's "start" names, else its first HTML part.
    GMimePart* page = nullptr;
    if (GMIME_IS_MULTIPART(root.get())) {
        const std::string start =
            text8(g_mime_object_get_content_type_parameter(root.get(), "start"));
        for (GMimePart* part : parts)
            if (!start.empty() &&
                ("<" + text8(g_mime_object_get_content_id(GMIME_OBJECT(part))) + ">") == start)
                page = part;
    }
    for (GMimePart* part : parts)
        if (page == nullptr && isHtml(GMIME_OBJECT(part))) page = part;
    if (page == nullptr) return std::nullopt;

    const std::optional<std::string> html = decodedContent(page);
    if (!html) {
        warn(archive, "its page cannot be decoded");
        return std::nullopt;
    }
    const std::string charset =
        text8(g_mime_object_get_content_type_parameter(GMIME_OBJECT(page), "charset"));
    std::u16string text =
        decodeTextFile(*html, CharsetTable().lookup(fromUtf8(lowerAscii(charset))));
    const std::string pageLocation = text8(g_mime_part_get_content_location(page));

    // The other parts, written beside the archive, by the names the page may use for them.
    const std::u16string folderName = fileNameOf(archive) + u"_files";
    std::unordered_map<std::u16string, std::u16string> names;  // reference -> relative path
    int written = 0;
    for (std::size_t n = 0; n < parts.size(); ++n) {
        GMimePart* part = parts[n];
        if (part == page) continue;
        const std::string location = text8(g_mime_part_get_content_location(part));
        const std::string id = text8(g_mime_object_get_content_id(GMIME_OBJECT(part)));
        if (location.empty() && id.empty()) continue;
        const std::optional<std::string> content = decodedContent(part);
        if (!content) {
            warn(archive, "part " + std::to_string(n + 1) + " (" +
                              (location.empty() ? "cid:" + id : location) +
                              ") cannot be decoded and is left out");
            continue;
        }
        const std::u16string relative = folderName + u"/part" +
                                        fromUtf8(std::to_string(++written)) +
                                        fromUtf8(extensionFor(GMIME_OBJECT(part), location));
        const std::optional<std::u16string> target =
            pathInsideFolder(folderOf(archive) + relative, rootFolder);
        if (!target) continue;
        std::error_code ec;
        std::filesystem::create_directories(toPath(*target).parent_path(), ec);
        try {
            writeFileBytes(toPath(*target), *content);
        } catch (const std::exception& e) {
            warn(archive, e.what());
            continue;
        }
        if (!location.empty()) names.emplace(fromUtf8(location), relative);
        if (!id.empty()) names.emplace(u"cid:" + fromUtf8(id), relative);
    }

    // The page's references to them.
    const std::u16string base = fromUtf8(pageLocation.substr(0, pageLocation.rfind('/') + 1));
    std::u16string out(kUtf8Declaration);
    scanAttributes(
        text, &out,
        [&](const std::u16string&, const std::u16string& name, const std::u16string& value) {
            if (!IsUrlAttribute(name) || value.empty()) return value;
            auto found = names.find(value);
            if (found == names.end() && !base.empty()) found = names.find(base + value);
            return found == names.end() ? value : found->second;
        });
    return out;
}

void TCHMDistill::UnpackWebArchives() {
    std::vector<std::u16string> archives;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(toPath(rootFolder), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && isWebArchiveExtension(fromPath(it->path().extension())))
            archives.push_back(fromPath(it->path()));
    }
    if (archives.empty()) return;
    for (const std::u16string& archive : archives) {
        pulse();
        const std::optional<WorkingFiles::File> file = workingFiles.locate(archive, rootFolder);
        if (!file || !file->regularFile) continue;
        std::string bytes;
        try {
            bytes = readFileBytes(file->target);
        } catch (const std::exception& e) {
            warn(archive, e.what());
            continue;
        }
        if (const std::optional<std::u16string> page = unpackWebArchive(bytes, archive, rootFolder))
            workingFiles.write(*page, *file);
    }
    // Their pictures are new files of the folder.
    workingFiles.forgetLookups();
}

}  // namespace quillet
