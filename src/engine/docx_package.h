// The .docx package as the writer assembles it: its parts and their relationships, the content
// types, the style sheet, the numbering of lists, the settings, headers and footers, the pictures'
// files and the zip archive. Internal to the writer; writeDocx (docx_writer.h) is the way in.
#pragma once

#include "engine/bookmark_names.h"
#include "engine/document_model.h"
#include "engine/docx_drawing.h"
#include "engine/docx_properties.h"
#include "engine/xml_stream.h"

#include <list>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillet::engine::docx {

struct Relationship {
    std::string id;    // "rId1"
    const char* type;  // kRelImage, ...
    std::string target;
    bool external = false;
};

// One XML part of the package with its relationships. Its bytes are held in `xml`, or in the file
// `file` for the body, which may run to hundreds of megabytes.
struct Part {
    std::string name;  // "word/document.xml"
    std::string xml;
    std::string file;
    std::vector<Relationship> rels;

    // Adds a relationship from this part; returns its id.
    std::string addRel(const char* type, std::string target, bool external = false);
};

class PackageWriter {
public:
    explicit PackageWriter(const DocumentModel& model) : m_model(model), m_names(model) {}

    // Writes the package to `path`, replacing the file only once the package is complete. Throws
    // std::runtime_error naming the file when it cannot be written.
    void write(const std::u16string& path);

    const DocumentModel& model() const { return m_model; }
    std::u16string bookmarkName(const std::u16string& name) const { return m_names(name); }
    int nextBookmarkId() { return m_bookmarkId++; }
    int nextDrawingId() { return m_drawingId++; }
    std::string styleId(int index) const;
    // The id of the character style named `name`; empty when there is none.
    std::string charStyleId(const std::u16string& name) const;

    // The relationships in `part` of the image of `picture`: its file stored in the package (read
    // from the linked file when the model holds no bytes and it is not linked) and the linked file.
    PictureSource pictureSource(Part& part, const PictureData& picture);

    // The w:sectPr of section `index`, with its headers and footers written as parts of their own
    // that `part` refers to.
    void writeSectionProperties(XmlWriter& xml, int index, Part& part);

private:
    // An image file of the package: the bytes of a picture of the model, or `owned` when they
    // had to be read from the linked file.
    struct Image {
        std::string name;  // "media/image1.png", relative to word/
        std::string extension;
        SharedBytes owned;
        std::string_view bytes;
    };
    struct ImageKey {
        std::string_view extension, bytes;
        bool operator==(const ImageKey&) const = default;
    };
    struct ImageKeyHash {
        std::size_t operator()(const ImageKey& key) const;
    };

    Part& newPart(std::string name, std::string contentType);
    // The image file of these bytes, stored the first time they come: help pages repeat the same
    // icons thousands of times. `loaded` holds the bytes when they are not the model's.
    const Image& storeImage(std::string extension, std::string_view bytes, SharedBytes loaded);
    std::string headerPart(const Story& story, bool footer);
    void writeStyles(Part& part);
    void writeSettings(Part& part);
    void writeNumbering(Part& part);
    std::string contentTypesXml() const;

    const DocumentModel& m_model;
    BookmarkNames m_names;
    int m_bookmarkId = 0;
    int m_drawingId = 1;
    std::list<Image> m_images;  // in the order first met
    std::unordered_map<ImageKey, const Image*, ImageKeyHash> m_imageByContent;
    std::unordered_map<std::string, std::string> m_imageRels;  // part + file -> relationship
    std::set<std::string> m_imageExtensions;
    int m_headers = 0;
    std::list<Part> m_parts;
    std::vector<std::pair<std::string, std::string>> m_overrides;  // part name, content type
};

}  // namespace quillet::engine::docx
