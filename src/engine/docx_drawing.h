// Pictures and shapes inside a run of the .docx writer: inline pictures (wp:inline), pictures
// anchored to the page (wp:anchor) and lines (VML v:line). The caller starts and ends the run and
// makes the relationships of a picture's image. Internal to the writer.
#pragma once

#include "engine/story_items.h"
#include "engine/xml_stream.h"

#include <string>

namespace quillet::engine::docx {

// The relationships of a picture's image: to its file stored in the package, to the linked file,
// or both. A picture with neither is not written.
struct PictureSource {
    std::string embed;
    std::string link;
    bool empty() const { return embed.empty() && link.empty(); }
};

// A picture in the line of text, as drawing number `id`.
void writeInlinePicture(XmlWriter& xml, const PictureData& picture, int id,
                        const PictureSource& source);

// A picture shape placed on the page, as drawing number `id`.
void writeAnchoredPicture(XmlWriter& xml, const Shape& shape, int id, const PictureSource& source);

// A line shape placed on the page, as drawing number `id`.
void writeLine(XmlWriter& xml, const Shape& shape, int id);

}  // namespace quillet::engine::docx
