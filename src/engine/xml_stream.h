// Writes XML as it goes, start tag by end tag, into a sink, without building a tree: a part of
// hundreds of megabytes passes through a buffer of a few dozen kilobytes. The bytes are those that
// pugixml's save writes with format_raw and encoding_utf8 for the same tree, so that a part reads
// the same whichever of the two wrote it:
//   - the declaration <?xml version="1.0"?>, and no white space between nodes;
//   - an element without content closed as <a/>, one with an empty text as <a></a>;
//   - in text, "&", "<", ">" and characters below U+0020 other than tab, line feed and carriage
//     return escaped ("&amp;", "&lt;", "&gt;", "&#01;"); in attribute values, "&", "<", '"' and
//     every character below U+0020, tab, line feed and carriage return included ("&quot;",
//     "&#09;"); ">" and "'" stay as they are;
//   - a text or value ends at its first U+0000, as pugixml, which takes C strings, ends it.
// Names are written as given. Leaving out what XML 1.0 cannot hold is the caller's business.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::engine {

class XmlWriter {
public:
    // Receives the written bytes, in order, in pieces.
    using Sink = std::function<void(std::string_view)>;

    // Writes the declaration. Bytes reach `sink` whenever about kChunk of them are gathered, and
    // at finish().
    explicit XmlWriter(Sink sink);
    // Appends everything to `out`.
    explicit XmlWriter(std::string& out);

    static constexpr std::size_t kChunk = 64 * 1024;

    // Starts an element; its attributes follow, then its content, then end().
    void start(std::string_view name);
    // Starts an element that is written only once it gets an attribute or content: ended without
    // either, it leaves nothing behind (a property list with no property in it).
    void startOptional(std::string_view name);
    // An attribute of the element just started (before any of its content).
    void attribute(std::string_view name, std::string_view value);
    // Text content of the element started last.
    void text(std::string_view value);
    // Ends the element started last.
    void end();
    // Passes on what is gathered. Every element must have ended; nothing may be written after.
    void finish();

    // start(name) then end(): <name/>.
    void empty(std::string_view name) {
        start(name);
        end();
    }

private:
    void writePendingStarts();
    void closeStartTag();
    void passOnIfFull();

    Sink m_sink;
    std::string m_buffer;
    std::string m_names;                // the names of the open elements, one after the other
    std::vector<std::size_t> m_starts;  // where each open element's name begins in m_names
    std::size_t m_written = 0;          // the open elements whose start tag is written
    bool m_inStartTag = false;          // the last start tag still takes attributes
};

}  // namespace quillet::engine
