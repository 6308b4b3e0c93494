// What the engine tests share: a fresh "Word.Application" with one new document, reached only
// through the automation interface, and a readable dump of a document's model for comparisons.
#pragma once

#include "automation/class_registry.h"
#include "automation/object.h"
#include "engine/document_model.h"
#include "engine/word_engine.h"
#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet::testing {

// Every paragraph ("[style] text" with specials as \r \f \t {pic} {fb} {fs} {fe}), then the
// direct formatting that differs from none, bookmarks, hyperlinks, fields, pictures, shapes,
// sections with their headers and footers, and the style sheet's fonts and outline levels.
std::string dumpModel(const engine::DocumentModel& model);
// The paragraphs of a story only, one per line.
std::string dumpParagraphs(const engine::DocumentModel& model, const engine::Story& story);
// The paragraphs' text, "|" between them, each paragraph of a list after its number or bullet
// and a tab, counted as Word counts them: each list on its own, from its start or its level's,
// a level starting again after a paragraph of a level above it in the same list.
std::string numberedParagraphs(const engine::DocumentModel& model, const engine::Story& story);
// The character properties that are set, each as " name=value" ("" for none).
std::string dumpCharFormat(const engine::CharFormat& format);

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine::registerWordEngine();
        word = CreateObject(u"Word.Application");
        doc = word.at(u"Documents").at(u"Add");
    }

    const engine::DocumentModel& model() const { return *engine::documentModel(doc); }
    // The invariant check, to run after every call sequence.
    void expectConsistent() const { EXPECT_EQ(engine::checkDocument(doc), ""); }
    std::u16string text(const Object& range) const { return range.get(u"Text").toString(); }
    std::string paragraphs() const { return dumpParagraphs(model(), model().body()); }

    Object word;
    Object doc;
};

}  // namespace quillet::testing
