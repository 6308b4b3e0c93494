#include "engine/formats.h"

#include <functional>

namespace quillet::engine {

void CharFormat::apply(const CharFormat& over) {
    auto take = [](auto& mine, const auto& theirs) {
        if (theirs) mine = theirs;
    };
    take(font, over.font);
    take(eastAsiaFont, over.eastAsiaFont);
    take(eastAsiaLanguage, over.eastAsiaLanguage);
    take(language, over.language);
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

// Folds values into one hash, boost's way.
class HashMix {
public:
    template <class T>
    HashMix& add(const T& value) {
        m_hash ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ULL + (m_hash << 6) + (m_hash >> 2);
        return *this;
    }
    template <class T>
    HashMix& add(const std::optional<T>& value) {
        return value ? add(*value) : add(std::size_t{0x5bd1e995});
    }
    std::size_t value() const { return m_hash; }

private:
    std::size_t m_hash = 0;
};

}  // namespace quillet::engine

using quillet::engine::CellRef;
using quillet::engine::CharFormat;
using quillet::engine::HashMix;
using quillet::engine::ParaFormat;

std::size_t std::hash<CharFormat>::operator()(const CharFormat& f) const {
    return HashMix()
        .add(f.font)
        .add(f.eastAsiaFont)
        .add(f.eastAsiaLanguage)
        .add(f.language)
        .add(f.size)
        .add(f.color)
        .add(f.bold)
        .add(f.italic)
        .add(f.underline)
        .add(f.strike)
        .add(f.verticalAlign)
        .add(f.shading)
        .add(f.hidden)
        .add(f.charStyle)
        .value();
}

std::size_t std::hash<ParaFormat>::operator()(const ParaFormat& f) const {
    HashMix mix;
    mix.add(f.style)
        .add(f.alignment)
        .add(f.outlineLevel)
        .add(f.leftIndent)
        .add(f.rightIndent)
        .add(f.firstLineIndent)
        .add(f.spaceBefore)
        .add(f.spaceAfter)
        .add(f.shading)
        .add(f.pageBreakBefore)
        .add(f.keepWithNext)
        .add(f.lineSpacing)
        .add(f.lineSpacingRule)
        .add(f.bottomBorder)
        .add(f.rightTab)
        .add(f.list)
        .add(f.listLevel);
    for (const CellRef& cell : f.cells) mix.add(cell.table).add(cell.row).add(cell.column);
    return mix.value();
}
