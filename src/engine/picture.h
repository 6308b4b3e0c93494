// Pictures of the document model: an image file linked or stored in the document, with its size
// in points. Reads image files and their pixel sizes (PNG, GIF, JPEG, BMP) with stb_image; does
// not decode or convert pixels.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace quillet::engine {

// A picture file's bytes, shared: a document that shows one picture many times (an icon in every
// row of a table, a large picture on many pages) holds its bytes once.
class SharedBytes {
public:
    SharedBytes() = default;
    SharedBytes(std::string bytes)  // NOLINT(google-explicit-constructor): a value like a string
        : m_bytes(bytes.empty() ? nullptr : std::make_shared<const std::string>(std::move(bytes))) {
    }
    explicit SharedBytes(std::shared_ptr<const std::string> bytes) : m_bytes(std::move(bytes)) {}

    bool empty() const { return !m_bytes || m_bytes->empty(); }
    void clear() { m_bytes.reset(); }
    std::size_t size() const { return m_bytes ? m_bytes->size() : 0; }
    const std::string& str() const {
        static const std::string none;
        return m_bytes ? *m_bytes : none;
    }
    operator const std::string&() const { return str(); }  // NOLINT(google-explicit-constructor)
    operator std::string_view() const { return str(); }    // NOLINT(google-explicit-constructor)
    bool operator==(const SharedBytes& other) const {
        return m_bytes == other.m_bytes || str() == other.str();
    }

private:
    std::shared_ptr<const std::string> m_bytes;
};

struct PictureData {
    std::u16string sourcePath;  // the linked file; kept after the link is broken, for messages
    bool linked = false;        // shown from the file rather than from `bytes`
    bool saveWithDocument = false;
    SharedBytes bytes;         // the image file's bytes once stored in the document
    std::u16string extension;  // "png", "jpeg", "gif" or "bmp", from the bytes
    double naturalWidth = 0;   // points, at 96 pixels per inch
    double naturalHeight = 0;
    double width = 0;  // points as shown
    double height = 0;
    bool lockAspectRatio = true;
    std::u16string altText;

    bool operator==(const PictureData&) const = default;
};

// Reads `path`, which must hold a PNG, GIF, JPEG or BMP image, into a picture shown at its natural
// size. With `link` the picture stays linked to the file and its bytes are not kept. Throws
// std::runtime_error naming the file when it cannot be read or is not such an image, and naming the
// limit when the file is larger than 64 MiB or a side longer than 32,767 pixels.
PictureData loadPicture(const std::u16string& path, bool link);

// Fills extension, naturalWidth and naturalHeight from `bytes`; false when they are not an image
// of a kind named above within those limits.
bool describeImage(const std::string& bytes, PictureData& picture);

// Reads the file's bytes into the picture (keeping its size); false when it cannot be read. A file
// whose bytes another picture holds already (the same path, size and time) shares them.
bool storePictureBytes(PictureData& picture);

}  // namespace quillet::engine
