#include "engine/docx_drawing.h"

#include "engine/docx_xml.h"
#include "platform/utf.h"

namespace quillet::engine::docx {

namespace {

void noDistanceFromText(XmlWriter& xml) {
    for (const char* d : {"distT", "distB", "distL", "distR"}) attr(xml, d, "0");
}

// <wp:extent>, or <a:ext> inside a transform: the picture's size.
void extent(XmlWriter& xml, const char* name, const PictureData& picture) {
    xml.start(name);
    attr(xml, "cx", num(emu(picture.width)));
    attr(xml, "cy", num(emu(picture.height)));
    xml.end();
}

// The drawing's name and description, and whether its aspect ratio is locked.
void drawingProperties(XmlWriter& xml, const PictureData& picture, int id) {
    xml.start("wp:docPr");
    attr(xml, "id", num(static_cast<long long>(id)));
    attr(xml, "name", "Picture " + num(static_cast<long long>(id)));
    if (!picture.altText.empty()) attr(xml, "descr", toUtf8(picture.altText));
    xml.end();
    xml.start("wp:cNvGraphicFramePr");
    xml.start("a:graphicFrameLocks");
    attr(xml, "noChangeAspect", picture.lockAspectRatio ? "1" : "0");
    xml.end();
    xml.end();
}

// The picture itself, inline or anchored alike: <a:graphic> holding a <pic:pic> named `name`
// that shows the image of `source` stretched over the picture's size.
void pictureGraphic(XmlWriter& xml, const std::string& name, const PictureData& picture,
                    const PictureSource& source) {
    xml.start("a:graphic");
    xml.start("a:graphicData");
    attr(xml, "uri", kPictureUri);
    xml.start("pic:pic");

    xml.start("pic:nvPicPr");
    xml.start("pic:cNvPr");
    attr(xml, "id", "0");
    attr(xml, "name", name);
    xml.end();
    xml.empty("pic:cNvPicPr");
    xml.end();

    xml.start("pic:blipFill");
    xml.start("a:blip");
    if (!source.embed.empty()) attr(xml, "r:embed", source.embed);
    if (!source.link.empty()) attr(xml, "r:link", source.link);
    xml.end();
    xml.start("a:stretch");
    xml.empty("a:fillRect");
    xml.end();
    xml.end();

    xml.start("pic:spPr");
    xml.start("a:xfrm");
    xml.start("a:off");
    attr(xml, "x", "0");
    attr(xml, "y", "0");
    xml.end();
    extent(xml, "a:ext", picture);
    xml.end();
    xml.start("a:prstGeom");
    attr(xml, "prst", "rect");
    xml.empty("a:avLst");
    xml.end();
    xml.end();

    xml.end();  // pic:pic
    xml.end();  // a:graphicData
    xml.end();  // a:graphic
}

// <name relativeFrom="page"><wp:posOffset>offset</wp:posOffset></name>
void positionOnPage(XmlWriter& xml, const char* name, double points) {
    xml.start(name);
    attr(xml, "relativeFrom", "page");
    xml.start("wp:posOffset");
    text(xml, num(emu(points)));
    xml.end();
    xml.end();
}

}  // namespace

void writeInlinePicture(XmlWriter& xml, const PictureData& picture, int id,
                        const PictureSource& source) {
    xml.start("w:drawing");
    xml.start("wp:inline");
    noDistanceFromText(xml);
    extent(xml, "wp:extent", picture);
    drawingProperties(xml, picture, id);
    pictureGraphic(xml,
                   toUtf8(picture.sourcePath.substr(picture.sourcePath.find_last_of(u'/') + 1)),
                   picture, source);
    xml.end();
    xml.end();
}

void writeAnchoredPicture(XmlWriter& xml, const Shape& shape, int id, const PictureSource& source) {
    const PictureData& picture = shape.picture;
    xml.start("w:drawing");
    xml.start("wp:anchor");
    noDistanceFromText(xml);
    attr(xml, "simplePos", "0");
    attr(xml, "relativeHeight", num(static_cast<long long>(id)));
    attr(xml, "behindDoc", "0");
    attr(xml, "locked", "0");
    attr(xml, "layoutInCell", "1");
    attr(xml, "allowOverlap", "1");
    xml.start("wp:simplePos");
    attr(xml, "x", "0");
    attr(xml, "y", "0");
    xml.end();
    positionOnPage(xml, "wp:positionH", shape.left);
    positionOnPage(xml, "wp:positionV", shape.top);
    extent(xml, "wp:extent", picture);
    xml.empty("wp:wrapNone");
    drawingProperties(xml, picture, id);
    pictureGraphic(xml, "Picture", picture, source);
    xml.end();
    xml.end();
}

void writeLine(XmlWriter& xml, const Shape& shape, int id) {
    const double x1 = shape.left + (shape.flipHorizontal ? shape.picture.width : 0);
    const double x2 = shape.left + (shape.flipHorizontal ? 0 : shape.picture.width);
    const double y1 = shape.top + (shape.flipVertical ? shape.picture.height : 0);
    const double y2 = shape.top + (shape.flipVertical ? 0 : shape.picture.height);
    xml.start("w:pict");
    xml.start("v:line");
    attr(xml, "id", "Line " + num(static_cast<long long>(id)));
    attr(xml, "style",
         "position:absolute;mso-position-horizontal-relative:page;"
         "mso-position-vertical-relative:page;z-index:" +
             num(static_cast<long long>(id)));
    attr(xml, "from", num(x1) + "pt," + num(y1) + "pt");
    attr(xml, "to", num(x2) + "pt," + num(y2) + "pt");
    attr(xml, "strokeweight", num(shape.lineWeight) + "pt");
    xml.end();
    xml.end();
}

}  // namespace quillet::engine::docx
