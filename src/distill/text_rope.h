// Text built by appending, where whole pieces move between owners in constant time. Folding a
// closed element into its parent hands the child's collected markup over this way, so a page of
// deeply nested elements costs linear time instead of copying the same text at every level.
#pragma once

#include <list>
#include <string>
#include <string_view>

namespace quillet {

class TextRope {
public:
    void append(std::u16string_view text) {
        if (text.empty()) return;
        // Short appends go into the last piece, so a character-at-a-time writer makes few pieces.
        if (!m_pieces.empty() && m_pieces.back().size() < kPieceSize)
            m_pieces.back().append(text);
        else
            m_pieces.emplace_back(text);
        m_size += text.size();
    }
    void append(char16_t c) { append(std::u16string_view(&c, 1)); }
    // Takes all of `other`'s text, leaving it empty.
    void append(TextRope&& other) {
        m_size += other.m_size;
        m_pieces.splice(m_pieces.end(), other.m_pieces);
        other.m_size = 0;
    }
    void clear() {
        m_pieces.clear();
        m_size = 0;
    }
    bool empty() const { return m_size == 0; }
    std::size_t size() const { return m_size; }

    std::u16string str() const {
        std::u16string out;
        out.reserve(m_size);
        for (const auto& piece : m_pieces) out += piece;
        return out;
    }
    void appendTo(std::u16string& out) const {
        for (const auto& piece : m_pieces) out += piece;
    }

private:
    static constexpr std::size_t kPieceSize = 256;
    std::list<std::u16string> m_pieces;
    std::size_t m_size = 0;
};

}  // namespace quillet
