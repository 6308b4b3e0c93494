#include "engine/formats.h"

namespace quillet::engine {

void CharFormat::apply(const CharFormat& over) {
    auto take = [](auto& mine, const auto& theirs) {
        if (theirs) mine = theirs;
    };
    take(font, over.font);
    take(eastAsiaFont, over.eastAsiaFont);
    take(size, over.size);
    take(color, over.color);
    take(bold, over.bold);
    take(italic, over.italic);
    take(underline, over.underline);
    take(strike, over.strike);
    take(verticalAlign, over.verticalAlign);
    take(shading, over.shading);
    take(hidden, over.hidden);
    if (!over.charStyle.empty()) charStyle = over.charStyle;
}

void ParaFormat::clearDirect() {
    ParaFormat cleared;
    cleared.style = style;
    cleared.list = list;
    cleared.listLevel = listLevel;
    cleared.cells = std::move(cells);
    *this = std::move(cleared);
}

}  // namespace quillet::engine
