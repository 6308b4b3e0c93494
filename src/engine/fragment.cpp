#include "engine/fragment.h"

#include <limits>

namespace quillet::engine {

namespace {

constexpr std::uint32_t kUnmapped = std::numeric_limits<std::uint32_t>::max();

}  // namespace

Fragment Fragment::plain(std::u16string text, const CharFormat& format) {
    Fragment f;
    f.addRun(static_cast<int>(text.size()), format);
    f.text = std::move(text);
    return f;
}

void Fragment::append(std::u16string_view more, const CharFormat& format) {
    if (more.empty()) return;
    text += more;
    addRun(static_cast<int>(more.size()), format);
}

void Fragment::addRun(int length, const CharFormat& format) {
    const std::uint32_t id = charFormats.intern(format);
    if (!runs.empty() && runs.back().format == id)
        runs.back().length += length;
    else
        runs.push_back({length, id});
}

void Fragment::addParagraph(const ParaFormat& format) {
    paragraphs.push_back(paraFormats.intern(format));
}

void Fragment::appendText(const Fragment& other, const std::function<void(ParaFormat&)>& edit) {
    text += other.text;
    std::vector<std::uint32_t> charIds(other.charFormats.size(), kUnmapped);
    for (const FragmentRun& run : other.runs) {
        std::uint32_t& id = charIds[run.format];
        if (id == kUnmapped) id = charFormats.intern(other.charFormats[run.format]);
        if (!runs.empty() && runs.back().format == id)
            runs.back().length += run.length;
        else
            runs.push_back({run.length, id});
    }
    std::vector<std::uint32_t> paraIds(other.paraFormats.size(), kUnmapped);
    for (const std::uint32_t p : other.paragraphs) {
        std::uint32_t& id = paraIds[p];
        if (id == kUnmapped) {
            ParaFormat format = other.paraFormats[p];
            if (edit) edit(format);
            id = paraFormats.intern(format);
        }
        paragraphs.push_back(id);
    }
}

void Fragment::removeLastCharacter() {
    if (text.empty()) return;
    text.pop_back();
    if (!runs.empty() && --runs.back().length <= 0) runs.pop_back();
}

void Fragment::editParagraphFormats(const std::function<void(ParaFormat&)>& edit) {
    FormatTable<ParaFormat> edited;
    std::vector<std::uint32_t> ids(paraFormats.size(), kUnmapped);
    for (std::uint32_t& p : paragraphs) {
        std::uint32_t& id = ids[p];
        if (id == kUnmapped) {
            ParaFormat format = paraFormats[p];
            edit(format);
            id = edited.intern(format);
        }
        p = id;
    }
    paraFormats = std::move(edited);
}

}  // namespace quillet::engine
