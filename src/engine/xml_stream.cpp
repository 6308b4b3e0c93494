#include "engine/xml_stream.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>

namespace quillet::engine {

namespace {

constexpr std::uint8_t kInText = 1;
constexpr std::uint8_t kInAttribute = 2;

// Which bytes pugixml escapes, in text and in attribute values.
constexpr std::array<std::uint8_t, 256> kEscaped = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 32; ++c)
        table[c] = c == '\t' || c == '\n' || c == '\r' ? kInAttribute : kInText | kInAttribute;
    table['&'] = table['<'] = kInText | kInAttribute;
    table['>'] = kInText;
    table['"'] = kInAttribute;
    return table;
}();

void appendEscaped(std::string& out, std::string_view value, std::uint8_t where) {
    value = value.substr(0, value.find('\0'));
    std::size_t at = 0;
    while (at < value.size()) {
        std::size_t plain = at;
        while (plain < value.size() &&
               !(kEscaped[static_cast<unsigned char>(value[plain])] & where))
            ++plain;
        out.append(value, at, plain - at);
        if (plain == value.size()) break;
        const auto c = static_cast<unsigned char>(value[plain]);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default: {  // below U+0020: two decimal digits, as pugixml writes them
                const char reference[] = {'&', '#', static_cast<char>('0' + c / 10),
                                          static_cast<char>('0' + c % 10), ';'};
                out.append(reference, sizeof reference);
            }
        }
        at = plain + 1;
    }
}

}  // namespace

XmlWriter::XmlWriter(Sink sink) : m_sink(std::move(sink)) {
    m_buffer.reserve(kChunk + kChunk / 4);
    m_buffer = "<?xml version=\"1.0\"?>";
}

XmlWriter::XmlWriter(std::string& out)
    : XmlWriter([&out](std::string_view bytes) { out.append(bytes); }) {}

void XmlWriter::writePendingStarts() {
    for (std::size_t i = m_written; i < m_starts.size(); ++i) {
        closeStartTag();
        const std::size_t end = i + 1 < m_starts.size() ? m_starts[i + 1] : m_names.size();
        m_buffer += '<';
        m_buffer.append(m_names, m_starts[i], end - m_starts[i]);
        m_inStartTag = true;
    }
    m_written = m_starts.size();
}

void XmlWriter::closeStartTag() {
    if (m_inStartTag) {
        m_buffer += '>';
        m_inStartTag = false;
    }
}

void XmlWriter::passOnIfFull() {
    if (m_buffer.size() >= kChunk) {
        m_sink(m_buffer);
        m_buffer.clear();
    }
}

void XmlWriter::start(std::string_view name) {
    writePendingStarts();
    closeStartTag();
    m_buffer += '<';
    m_buffer += name;
    m_starts.push_back(m_names.size());
    m_names += name;
    m_written = m_starts.size();
    m_inStartTag = true;
}

void XmlWriter::startOptional(std::string_view name) {
    m_starts.push_back(m_names.size());
    m_names += name;
}

void XmlWriter::attribute(std::string_view name, std::string_view value) {
    writePendingStarts();
    assert(m_inStartTag && "an attribute after content");
    m_buffer += ' ';
    m_buffer += name;
    m_buffer += "=\"";
    appendEscaped(m_buffer, value, kInAttribute);
    m_buffer += '"';
}

void XmlWriter::text(std::string_view value) {
    writePendingStarts();
    closeStartTag();
    appendEscaped(m_buffer, value, kInText);
    passOnIfFull();
}

void XmlWriter::end() {
    assert(!m_starts.empty() && "end() without an element");
    const std::size_t at = m_starts.back();
    if (m_starts.size() <= m_written) {
        if (m_inStartTag) {
            m_buffer += "/>";
            m_inStartTag = false;
        } else {
            m_buffer += "</";
            m_buffer.append(m_names, at);
            m_buffer += '>';
        }
    }
    m_names.resize(at);
    m_starts.pop_back();
    m_written = std::min(m_written, m_starts.size());
    passOnIfFull();
}

void XmlWriter::finish() {
    assert(m_starts.empty() && "finish() inside an element");
    m_sink(m_buffer);
    m_buffer.clear();
}

}  // namespace quillet::engine
