// Pictures of the document model: an image file linked or stored in the document, with its size
// in points. Reads image files and their pixel sizes (PNG, GIF, JPEG, BMP) with stb_image; does
// not decode or convert pixels.
#pragma once

#include <string>

namespace quillet::engine {

struct PictureData {
    std::u16string sourcePath;  // the linked file; kept after the link is broken, for messages
    bool linked = false;        // shown from the file rather than from `bytes`
    bool saveWithDocument = false;
    std::string bytes;         // the image file's bytes once stored in the document
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

// Reads the file's bytes into the picture (keeping its size); false when it cannot be read.
bool storePictureBytes(PictureData& picture);

}  // namespace quillet::engine
