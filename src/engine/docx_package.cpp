#include "engine/docx_package.h"

#include "engine/docx_story.h"
#include "engine/docx_xml.h"
#include "engine/picture.h"
#include "platform/utf.h"

#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>

namespace quillet::engine::docx {

namespace {

void declareNamespaces(XmlWriter& xml) {
    attr(xml, "xmlns:w", kNsW);
    attr(xml, "xmlns:r", kNsR);
    attr(xml, "xmlns:wp", kNsWp);
    attr(xml, "xmlns:a", kNsA);
    attr(xml, "xmlns:pic", kNsPic);
    attr(xml, "xmlns:v", kNsV);
    attr(xml, "xmlns:o", kNsO);
}

std::string relationshipsXml(const std::vector<Relationship>& rels) {
    std::string out;
    XmlWriter xml(out);
    xml.start("Relationships");
    attr(xml, "xmlns", kNsPackageRels);
    for (const Relationship& r : rels) {
        xml.start("Relationship");
        attr(xml, "Id", r.id);
        attr(xml, "Type", r.type);
        attr(xml, "Target", r.target);
        if (r.external) attr(xml, "TargetMode", "External");
        xml.end();
    }
    xml.end();
    xml.finish();
    return out;
}

// docProps/core.xml or docProps/app.xml: `root`, declaring `namespaces`, names the program that
// made the document in `child`.
std::string propertiesXml(const char* root,
                          std::initializer_list<std::pair<const char*, const char*>> namespaces,
                          const char* child) {
    std::string out;
    XmlWriter xml(out);
    xml.start(root);
    for (const auto& [name, uri] : namespaces) attr(xml, name, uri);
    xml.start(child);
    text(xml, "Quillet");
    xml.end();
    xml.end();
    xml.finish();
    return out;
}

// A file beside the package that holds one part until the archive is closed, and is removed when
// it goes, whether the package was written or not.
class PartFile {
public:
    explicit PartFile(const std::string& package)
        : m_package(package), m_path(package + ".part-XXXXXX") {
        m_fd = ::mkostemp(m_path.data(), O_CLOEXEC);
        // In the words libzip uses when it cannot create its own temporary file beside the
        // package, so that an unwritable folder reads the same whichever fails first.
        if (m_fd < 0) fail("Failure to create temporary file: ");
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    ~PartFile() {
        if (m_fd >= 0) ::close(m_fd);
        ::unlink(m_path.c_str());
    }

    const std::string& path() const { return m_path; }

    void write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                fail();
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    // Closes the file once everything is written.
    void close() {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) fail();
    }

private:
    [[noreturn]] void fail(const char* what = "") const {
        throw std::runtime_error("cannot write " + m_package + ": " + what + std::strerror(errno));
    }

    std::string m_package;
    std::string m_path;
    int m_fd = -1;
};

struct ZipDiscard {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};

// An entry of the archive: its bytes, or the file that holds them.
struct Entry {
    std::string name;
    std::string_view bytes;
    std::string file;
};

// Deflate level of the parts. libzip's own default is the best compression, which on the
// body of a long document costs twice the time of zlib's usual level for about a tenth less.
constexpr zip_uint32_t kCompressionLevel = 6;

// Writes the archive `file` (under a temporary name that replaces it once complete, as libzip
// does). The entries' bytes are read when the archive is closed.
void writeArchive(const std::string& file, const std::vector<Entry>& entries) {
    int error = 0;
    std::unique_ptr<zip_t, ZipDiscard> zip(
        zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!zip) throw std::runtime_error("cannot write " + file);
    for (const Entry& entry : entries) {
        zip_source_t* source =
            entry.file.empty()
                ? zip_source_buffer(zip.get(), entry.bytes.data(), entry.bytes.size(), 0)
                : zip_source_file(zip.get(), entry.file.c_str(), 0, 0);
        const zip_int64_t index = source ? zip_file_add(zip.get(), entry.name.c_str(), source,
                                                        ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8)
                                         : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            throw std::runtime_error("cannot write " + file + ": " + entry.name);
        }
        if (zip_set_file_compression(zip.get(), static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                     kCompressionLevel) != 0)
            throw std::runtime_error("cannot write " + file + ": " + zip_strerror(zip.get()));
    }
    if (zip_close(zip.get()) != 0)
        throw std::runtime_error("cannot write " + file + ": " + zip_strerror(zip.get()));
    zip.release();  // closed and freed by zip_close
}

}  // namespace

std::string Part::addRel(const char* type, std::string target, bool external) {
    std::string id = "rId" + num(static_cast<long long>(rels.size() + 1));
    rels.push_back({id, type, std::move(target), external});
    return id;
}

std::string PackageWriter::styleId(int index) const {
    return toUtf8(m_model.styles().at(index).id);
}

std::string PackageWriter::charStyleId(const std::u16string& name) const {
    const int index = m_model.styles().findByName(name);
    return index >= 0 ? styleId(index) : std::string();
}

Part& PackageWriter::newPart(std::string name, std::string contentType) {
    Part& part = m_parts.emplace_back();
    part.name = std::move(name);
    m_overrides.emplace_back("/" + part.name, std::move(contentType));
    return part;
}

std::size_t PackageWriter::ImageKeyHash::operator()(const ImageKey& key) const {
    const std::hash<std::string_view> hash;
    return hash(key.bytes) ^ (hash(key.extension) << 1);
}

const PackageWriter::Image& PackageWriter::storeImage(std::string extension, std::string_view bytes,
                                                      SharedBytes loaded) {
    if (const auto found = m_imageByContent.find({extension, bytes});
        found != m_imageByContent.end())
        return *found->second;
    Image& image = m_images.emplace_back();
    image.extension = std::move(extension);
    image.owned = std::move(loaded);
    image.bytes = image.owned.empty() ? bytes : std::string_view(image.owned.str());
    image.name =
        "media/image" + num(static_cast<long long>(m_images.size())) + "." + image.extension;
    m_imageExtensions.insert(image.extension);
    m_imageByContent.emplace(ImageKey{image.extension, image.bytes}, &image);
    return image;
}

PictureSource PackageWriter::pictureSource(Part& part, const PictureData& picture) {
    PictureSource source;
    std::string_view bytes = picture.bytes;
    std::u16string_view extension = picture.extension;
    PictureData loaded;
    if (!picture.linked && bytes.empty()) {
        // An unsaved copy of a linked file may still be readable.
        loaded.sourcePath = picture.sourcePath;
        if (storePictureBytes(loaded)) {
            bytes = loaded.bytes;
            extension = loaded.extension;
        }
    }
    if (!bytes.empty()) {
        const Image& image = storeImage(extension.empty() ? "png" : toUtf8(extension), bytes,
                                        std::move(loaded.bytes));
        auto [rel, added] = m_imageRels.try_emplace(part.name + '\n' + image.name);
        if (added) rel->second = part.addRel(kRelImage, image.name);
        source.embed = rel->second;
    }
    if (picture.linked) source.link = part.addRel(kRelImage, fileUri(picture.sourcePath), true);
    return source;
}

std::string PackageWriter::headerPart(const Story& story, bool footer) {
    const std::string kind = footer ? "footer" : "header";
    Part& part =
        newPart("word/" + kind + num(static_cast<long long>(++m_headers)) + ".xml",
                "application/vnd.openxmlformats-officedocument.wordprocessingml." + kind + "+xml");
    XmlWriter xml(part.xml);
    xml.start(footer ? "w:ftr" : "w:hdr");
    declareNamespaces(xml);
    StoryWriter(*this, part, xml, story, false).writeAll();
    xml.end();
    xml.finish();
    return part.name.substr(5);  // relative to word/
}

void PackageWriter::writeSectionProperties(XmlWriter& xml, int index, Part& part) {
    const Section& s = m_model.sections()[static_cast<std::size_t>(index)];
    std::vector<HeaderReference> headers;
    for (bool footer : {false, true}) {
        const auto& list = footer ? s.footers : s.headers;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].linkToPrevious || !list[i].story) continue;
            const std::string target = headerPart(*list[i].story, footer);
            headers.push_back({footer, static_cast<int>(i),
                               part.addRel(footer ? kRelFooter : kRelHeader, target)});
        }
    }
    docx::writeSectionProperties(xml, s, headers);
}

void PackageWriter::writeStyles(Part& part) {
    const StyleSheet& sheet = m_model.styles();
    XmlWriter xml(part.xml);
    xml.start("w:styles");
    attr(xml, "xmlns:w", kNsW);
    xml.start("w:docDefaults");
    xml.start("w:rPrDefault");
    xml.start("w:rPr");
    {
        xml.start("w:rFonts");
        const std::string font = toUtf8(sheet.defaults.font.value_or(u"Times New Roman"));
        attr(xml, "w:ascii", font);
        attr(xml, "w:hAnsi", font);
        attr(xml, "w:cs", font);
        if (sheet.defaults.eastAsiaFont)
            attr(xml, "w:eastAsia", toUtf8(*sheet.defaults.eastAsiaFont));
        xml.end();
        valueElement(xml, "w:sz",
                     num(static_cast<long long>(sheet.defaults.size.value_or(12) * 2 + 0.5)));
        // The document's languages: which glyph forms readers choose for East Asian text.
        xml.start("w:lang");
        attr(xml, "w:val", toUtf8(sheet.defaults.language.value_or(u"en-US")));
        attr(xml, "w:eastAsia", toUtf8(sheet.defaults.eastAsiaLanguage.value_or(u"zh-CN")));
        xml.end();
    }
    xml.end();  // w:rPr
    xml.end();  // w:rPrDefault
    xml.empty("w:pPrDefault");
    xml.end();  // w:docDefaults
    for (int i = 0; i < sheet.count(); ++i) {
        const Style& s = sheet.at(i);
        xml.start("w:style");
        static const char* kTypes[] = {"", "paragraph", "character", "table", "numbering"};
        attr(xml, "w:type", kTypes[static_cast<int>(s.type)]);
        attr(xml, "w:styleId", toUtf8(s.id));
        if (s.builtin == kStyleNormal || s.builtin == kStyleDefaultParagraphFont)
            attr(xml, "w:default", "1");
        valueElement(xml, "w:name", toUtf8(fileStyleName(s.builtin, s.name)));
        if (s.basedOn >= 0) valueElement(xml, "w:basedOn", toUtf8(sheet.at(s.basedOn).id));
        if (s.next >= 0) valueElement(xml, "w:next", toUtf8(sheet.at(s.next).id));
        if (s.builtin <= kStyleHeading1 || s.builtin == kStyleNormal) xml.empty("w:qFormat");
        if (s.type == StyleType::Paragraph) {
            const ParaFormat& f = s.paragraph;
            xml.startOptional("w:pPr");
            if (f.keepWithNext && *f.keepWithNext) xml.empty("w:keepNext");
            if (f.pageBreakBefore && *f.pageBreakBefore) xml.empty("w:pageBreakBefore");
            writeSpacingAndPlacement(xml, f);
            xml.end();
        }
        writeRunProperties(xml, s.font, {});
        xml.end();  // w:style
    }
    xml.end();
    xml.finish();
}

void PackageWriter::writeNumbering(Part& part) {
    XmlWriter xml(part.xml);
    docx::writeNumbering(xml, m_model.lists());
    xml.finish();
}

void PackageWriter::writeSettings(Part& part) {
    XmlWriter xml(part.xml);
    xml.start("w:settings");
    attr(xml, "xmlns:w", kNsW);
    // In the order the schema gives them: Word refuses a settings part out of order.
    valueElement(xml, "w:defaultTabStop", "720");
    if (m_model.updateFieldsOnOpen) valueElement(xml, "w:updateFields", "true");
    xml.start("w:compat");
    xml.start("w:compatSetting");
    attr(xml, "w:name", "compatibilityMode");
    attr(xml, "w:uri", "http://schemas.microsoft.com/office/word");
    attr(xml, "w:val", "15");
    xml.end();
    xml.end();
    xml.end();
    xml.finish();
}

std::string PackageWriter::contentTypesXml() const {
    std::string out;
    XmlWriter xml(out);
    xml.start("Types");
    attr(xml, "xmlns", kNsContentTypes);
    auto addDefault = [&](const std::string& ext, const std::string& type) {
        xml.start("Default");
        attr(xml, "Extension", ext);
        attr(xml, "ContentType", type);
        xml.end();
    };
    addDefault("rels", "application/vnd.openxmlformats-package.relationships+xml");
    addDefault("xml", "application/xml");
    for (const std::string& ext : m_imageExtensions) addDefault(ext, "image/" + ext);
    for (const auto& [name, type] : m_overrides) {
        xml.start("Override");
        attr(xml, "PartName", name);
        attr(xml, "ContentType", type);
        xml.end();
    }
    xml.end();
    xml.finish();
    return out;
}

void PackageWriter::write(const std::u16string& path) {
    const std::string file = toUtf8(path);

    // The body goes into a file beside the package as it is written, and from there into the
    // archive when the archive is closed: memory never holds more of it than a buffer.
    PartFile body(file);
    Part& document =
        newPart("word/document.xml",
                "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml");
    document.file = body.path();
    {
        XmlWriter xml([&body](std::string_view bytes) { body.write(bytes); });
        xml.start("w:document");
        declareNamespaces(xml);
        xml.start("w:body");
        StoryWriter(*this, document, xml, m_model.body(), true).writeAll();
        writeSectionProperties(xml, static_cast<int>(m_model.sections().size()) - 1, document);
        xml.end();
        xml.end();
        xml.finish();
    }
    body.close();

    Part& styles =
        newPart("word/styles.xml",
                "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml");
    writeStyles(styles);
    document.addRel(kRelStyles, "styles.xml");
    if (!m_model.lists().empty()) {
        Part& numbering =
            newPart("word/numbering.xml",
                    "application/vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml");
        writeNumbering(numbering);
        document.addRel(kRelNumbering, "numbering.xml");
    }
    Part& settings =
        newPart("word/settings.xml",
                "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml");
    writeSettings(settings);
    document.addRel(kRelSettings, "settings.xml");

    // Package-level parts.
    const std::string core = propertiesXml(
        "cp:coreProperties",
        {{"xmlns:cp", "http://schemas.openxmlformats.org/package/2006/metadata/core-properties"},
         {"xmlns:dc", "http://purl.org/dc/elements/1.1/"}},
        "dc:creator");
    m_overrides.emplace_back("/docProps/core.xml",
                             "application/vnd.openxmlformats-package.core-properties+xml");
    const std::string app = propertiesXml(
        "Properties",
        {{"xmlns", "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"}},
        "Application");
    m_overrides.emplace_back(
        "/docProps/app.xml",
        "application/vnd.openxmlformats-officedocument.extended-properties+xml");
    const std::vector<Relationship> packageRels = {
        {"rId1", kRelOfficeDocument, "word/document.xml", false},
        {"rId2", kRelCoreProperties, "docProps/core.xml", false},
        {"rId3", kRelExtendedProperties, "docProps/app.xml", false}};

    // The archive's entries, in order; their bytes stay where they are until it is closed.
    std::list<std::string> made;  // the relationship parts
    std::vector<Entry> entries;
    const std::string types = contentTypesXml();
    entries.push_back({"[Content_Types].xml", types, {}});
    entries.push_back({"_rels/.rels", made.emplace_back(relationshipsXml(packageRels)), {}});
    for (const Part& part : m_parts) {
        entries.push_back({part.name, part.xml, part.file});
        if (!part.rels.empty()) {
            const std::size_t slash = part.name.find_last_of('/');
            entries.push_back(
                {part.name.substr(0, slash) + "/_rels/" + part.name.substr(slash + 1) + ".rels",
                 made.emplace_back(relationshipsXml(part.rels)),
                 {}});
        }
    }
    for (const Image& image : m_images) entries.push_back({"word/" + image.name, image.bytes, {}});
    entries.push_back({"docProps/core.xml", core, {}});
    entries.push_back({"docProps/app.xml", app, {}});

    writeArchive(file, entries);
}

}  // namespace quillet::engine::docx
