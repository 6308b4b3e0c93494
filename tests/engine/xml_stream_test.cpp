// The streaming XML writer against pugixml: the same tree, written by pugixml's save with
// format_raw and by the XmlWriter, must come out byte for byte the same, for every kind of node
// and for text and attribute values that need escaping. Also: a long part reaches the sink in
// pieces, never whole.
#include "engine/xml_stream.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace quillet::testing {
namespace {

using engine::XmlWriter;

// The calls that build a document, made on pugixml or on the XmlWriter.
class Calls {
public:
    virtual ~Calls() = default;
    virtual void start(std::string_view name) = 0;
    virtual void startOptional(std::string_view name) = 0;
    virtual void attribute(std::string_view name, std::string_view value) = 0;
    virtual void text(std::string_view value) = 0;
    virtual void end() = 0;
    void empty(std::string_view name) {
        start(name);
        end();
    }
};

// Builds a pugixml tree. An optional element is removed at its end when it got neither an
// attribute nor content: what the XmlWriter leaves out.
class TreeCalls : public Calls {
public:
    TreeCalls() : m_node(m_doc) {}
    void start(std::string_view name) override {
        m_node = m_node.append_child(std::string(name).c_str());
    }
    void startOptional(std::string_view name) override {
        start(name);
        m_optional.push_back(m_node);
    }
    void attribute(std::string_view name, std::string_view value) override {
        m_node.append_attribute(std::string(name).c_str()).set_value(std::string(value).c_str());
    }
    void text(std::string_view value) override {
        m_node.append_child(pugi::node_pcdata).set_value(std::string(value).c_str());
    }
    void end() override {
        const pugi::xml_node done = m_node;
        m_node = m_node.parent();
        if (std::find(m_optional.begin(), m_optional.end(), done) != m_optional.end() &&
            !done.first_child() && !done.first_attribute())
            m_node.remove_child(done);
    }
    std::string saved() const {
        std::ostringstream out;
        m_doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
        return out.str();
    }

private:
    pugi::xml_document m_doc;
    pugi::xml_node m_node;
    std::vector<pugi::xml_node> m_optional;
};

class StreamCalls : public Calls {
public:
    explicit StreamCalls(XmlWriter& xml) : m_xml(xml) {}
    void start(std::string_view name) override { m_xml.start(name); }
    void startOptional(std::string_view name) override { m_xml.startOptional(name); }
    void attribute(std::string_view name, std::string_view value) override {
        m_xml.attribute(name, value);
    }
    void text(std::string_view value) override { m_xml.text(value); }
    void end() override { m_xml.end(); }

private:
    XmlWriter& m_xml;
};

using Build = std::function<void(Calls&)>;

// What pugixml writes for the document `build` makes, and what the XmlWriter writes.
std::pair<std::string, std::string> bothWays(const Build& build) {
    TreeCalls tree;
    build(tree);
    std::string streamed;
    XmlWriter xml(streamed);
    StreamCalls calls(xml);
    build(calls);
    xml.finish();
    return {tree.saved(), streamed};
}

std::string everyByte() {
    std::string bytes;
    for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
    return bytes;
}

TEST(XmlWriter, EscapesTextAndAttributeValuesAsPugixmlDoes) {
    const std::string values[] = {
        "",
        "plain text",
        "a & b < c > d \" e ' f",
        "&amp; already escaped &#65; ]]> <![CDATA[x]]>",
        "\t tab \n line feed \r carriage return \r\n",
        std::string("\x01\x02\x08\x0B\x0C\x0E\x1F\x7F", 8),
        "  leading and trailing blanks  ",
        "UTF-8: \xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80, a lone \x80 and a cut \xE4\xB8",
        std::string("before\0after", 12),  // pugixml takes C strings: the value ends at U+0000
        everyByte(),
    };
    for (const std::string& value : values) {
        SCOPED_TRACE(::testing::PrintToString(value));
        const auto [pugixml, streamed] = bothWays([&](Calls& xml) {
            xml.start("w:p");
            xml.attribute("w:val", value);
            xml.attribute("xml:space", "preserve");
            xml.start("w:t");
            xml.text(value);
            xml.end();
            xml.start("w:t");
            xml.attribute("a", value);
            xml.end();
            xml.end();
        });
        EXPECT_EQ(streamed, pugixml);
    }
}

TEST(XmlWriter, WritesEveryShapeOfElementAsPugixmlDoes) {
    struct Case {
        const char* name;
        Build build;
    };
    const Case cases[] = {
        {"an empty root", [](Calls& xml) { xml.empty("w:document"); }},
        {"attributes only",
         [](Calls& xml) {
             xml.start("w:p");
             xml.attribute("a", "1");
             xml.attribute("b", "2");
             xml.end();
         }},
        {"an empty text",
         [](Calls& xml) {  // still opens the element: <w:t></w:t>
             xml.start("w:r");
             xml.start("w:t");
             xml.text("");
             xml.end();
             xml.end();
         }},
        {"text and elements mixed",
         [](Calls& xml) {
             xml.start("a");
             xml.text("one ");
             xml.text("two");
             xml.empty("b");
             xml.text(" three");
             xml.start("c");
             xml.start("d");
             xml.attribute("e", "f");
             xml.empty("g");
             xml.end();
             xml.end();
             xml.end();
         }},
        {"optional elements left empty",
         [](Calls& xml) {
             xml.start("w:p");
             xml.startOptional("w:pPr");
             xml.startOptional("w:rPr");
             xml.end();
             xml.end();
             xml.start("w:r");
             xml.startOptional("w:rPr");
             xml.end();
             xml.empty("w:tab");
             xml.end();
             xml.end();
         }},
        {"optional elements with content",
         [](Calls& xml) {
             xml.start("w:p");
             xml.startOptional("w:pPr");
             xml.startOptional("w:rPr");
             xml.empty("w:b");
             xml.end();
             xml.startOptional("w:sectPr");
             xml.end();
             xml.end();
             xml.startOptional("w:pPr");
             xml.attribute("only", "an attribute");
             xml.end();
             xml.startOptional("w:t");
             xml.text("");
             xml.end();
             xml.end();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [pugixml, streamed] = bothWays(c.build);
        EXPECT_EQ(streamed, pugixml);
    }
}

// A part far larger than the writer's buffer reaches the sink in pieces of about the buffer's
// size, so that writing it never holds it whole.
TEST(XmlWriter, PassesALongPartOnInPieces) {
    std::string whole;
    std::size_t pieces = 0;
    std::size_t largest = 0;
    XmlWriter xml([&](std::string_view piece) {
        whole += piece;
        ++pieces;
        largest = std::max(largest, piece.size());
    });
    xml.start("w:body");
    std::string expected = "<?xml version=\"1.0\"?><w:body>";
    for (int i = 0; i < 100000; ++i) {
        xml.start("w:p");
        xml.start("w:t");
        xml.text("paragraph & text");
        xml.end();
        xml.end();
        expected += "<w:p><w:t>paragraph &amp; text</w:t></w:p>";
    }
    xml.end();
    expected += "</w:body>";
    const std::size_t beforeFinish = pieces;
    xml.finish();
    EXPECT_EQ(whole, expected);
    EXPECT_GT(beforeFinish, expected.size() / XmlWriter::kChunk / 2);
    EXPECT_LT(largest, 2 * XmlWriter::kChunk);
}

}  // namespace
}  // namespace quillet::testing
