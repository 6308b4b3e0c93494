// A Word stage on the engine that ends early at every point it can: a cancellation at each of its
// progress reports, a refusal at each of its automation calls. Whichever it is, the temporary
// folder is left empty, the working folder is gone, and the document that was at the output path
// before is there unchanged unless the new one was saved whole.
#include "word/word_stage.h"

#include "automation/automation_error.h"
#include "automation/class_registry.h"
#include "engine/html/web_page_reader.h"
#include "engine/word_engine.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "word/contents_entries.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;

constexpr std::string_view kOldDocument = "old document";

// Counts the calls that pass through any wrapped object and refuses the one numbered `failAt`
// (counted from 1; 0 refuses none).
struct CallCounter {
    int calls = 0;
    int failAt = 0;
};

// An automation object in front of one of the engine's: what it returns is wrapped the same way,
// what it is given is unwrapped, so the engine sees only its own objects.
class FailingDispatch : public Dispatch {
public:
    FailingDispatch(std::shared_ptr<Dispatch> inner, std::shared_ptr<CallCounter> counter)
        : m_inner(std::move(inner)), m_counter(std::move(counter)) {}

    static Object wrap(const Object& o, const std::shared_ptr<CallCounter>& counter) {
        if (o.isNothing()) return o;
        return Object(std::make_shared<FailingDispatch>(o.dispatch(), counter));
    }

    Variant invoke(const Invocation& call) override {
        if (++m_counter->calls == m_counter->failAt)
            throw AutomationError(std::u16string(call.member), u"refused for the test");
        Invocation inner = call;
        for (Variant& v : inner.positional) v = unwrap(v);
        for (NamedArgument& a : inner.named) a.value = unwrap(a.value);
        inner.value = unwrap(call.value);
        Variant result = m_inner->invoke(inner);
        if (result.isObject()) return Variant(wrap(result.toObject(), m_counter));
        return result;
    }

private:
    static Variant unwrap(const Variant& v) {
        if (!v.isObject()) return v;
        const Object o = v.toObject();
        if (const auto* mine = dynamic_cast<FailingDispatch*>(o.dispatch().get()))
            return Variant(Object(mine->m_inner));
        return v;
    }

    std::shared_ptr<Dispatch> m_inner;
    std::shared_ptr<CallCounter> m_counter;
};

// One small conversion in a folder of its own: two topic pages (one with a picture), a heading
// and a web address, with an old document at the output path.
class SmallConversion {
public:
    SmallConversion() : m_tmp("TMPDIR", (m_dir.path() / "tmp").string()) {
        fs::create_directories(m_dir.path() / "tmp");
        fs::create_directories(root());
        fs::create_directories(output().parent_path());
        std::ofstream(output()) << kOldDocument;
        std::ofstream(root() / "intro.htm")
            << "<html><head><title>Introduction</title></head><body><h1>Intro</h1>"
               "<p>See <a href=\"#Bookmark1\">the details</a>.</p><p><img src=\"pic.png\"></p>"
               "</body></html>";
        std::ofstream(root() / "more.htm") << "<html><body><p>More text.</p></body></html>";
        std::vector<unsigned char> pixels(40 * 20 * 3, 0x80);
        EXPECT_NE(stbi_write_png((root() / "pic.png").c_str(), 40, 20, 3, pixels.data(), 40 * 3),
                  0);
        engine::registerWebPageReader([this](const std::u16string&) { return fromPath(root()); });
        job.rootFolder = fromPath(root()) + u"/";
        job.pdf = fromPath(output());
        job.Title = u"Guide";
        job.FOnError = [this](const std::u16string& message) { errors.push_back(toUtf8(message)); };
        job.FOnDenied = [this](const std::u16string&) { job.Abort = true; };
        testing::addEntry(job, u"Introduction", u"intro.htm", 0, 0, u"1.");
        testing::addEntry(job, u"Details", u"", 1, 2, u"1.1");
        testing::addEntry(job, u"More", u"more.htm", 1, 0, u"1.2");
        testing::addEntry(job, u"Web site", u"http://example.com/", 0, 3, u"2.");
    }
    ~SmallConversion() { engine::setWebPageReader(nullptr); }

    // Runs the stage; a cancellation that leaves it is caught here, as the worker catches it.
    void run() {
        try {
            OutputWord(job);
        } catch (const EUserCancel&) {
            cancelled = true;
        }
    }

    // What a run that ended early must leave: an empty temporary folder, no working folder, and
    // in the output folder only the output, old or whole.
    void expectNothingLeft() const {
        for (const auto& entry : fs::directory_iterator(m_dir.path() / "tmp"))
            ADD_FAILURE() << "left in the temporary folder: " << entry.path();
        EXPECT_FALSE(fs::exists(root())) << "the working folder is still there";
        for (const auto& entry : fs::directory_iterator(output().parent_path()))
            EXPECT_EQ(entry.path(), output()) << "left beside the output";
    }

    std::string outputBytes() const {
        std::ifstream in(output(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path root() const { return m_dir.path() / "root"; }
    fs::path output() const { return m_dir.path() / "out" / "Guide.docx"; }

    TChmToDocPDF job;
    std::vector<std::string> errors;
    bool cancelled = false;

private:
    TempDir m_dir;
    ScopedEnv m_tmp;
};

// True when `path` holds a document the engine reads without fault.
bool isWholeDocument(const fs::path& path) {
    try {
        const Object word = CreateObject(u"Word.Application");
        const Object doc = word.at(u"Documents").at(u"Add", {fromPath(path)});
        return !doc.isNothing();
    } catch (const std::exception&) {
        return false;
    }
}

class NothingLost : public ::testing::Test {
protected:
    NothingLost() { engine::registerWordEngine(); }
    ~NothingLost() override { unregisterClass(u"Word.Application"); }
};

TEST_F(NothingLost, ACancellationAtAnyProgressReportLeavesNothing) {
    // The reports of a whole run, counted first.
    int reportCount = 0;
    {
        SmallConversion whole;
        whole.job.FOnChange = [&](const std::u16string&, int) { ++reportCount; };
        whole.run();
        ASSERT_FALSE(whole.job.Failed) << whole.errors.front();
        ASSERT_TRUE(isWholeDocument(whole.output()));
    }
    ASSERT_GT(reportCount, 5);
    for (int cancelAt = 1; cancelAt <= reportCount; ++cancelAt) {
        SCOPED_TRACE("cancelled at report " + std::to_string(cancelAt));
        SmallConversion c;
        // As a cancel request does: every report from the one it reaches on raises it.
        int reports = 0;
        c.job.FOnChange = [&](const std::u16string&, int) {
            if (++reports >= cancelAt) throw EUserCancel();
        };
        c.run();
        c.expectNothingLeft();
        // A cancellation is no failure to tell the user of.
        EXPECT_TRUE(c.errors.empty()) << c.errors.front();
        // Until the new document is saved whole, the old one stays.
        if (c.outputBytes() != kOldDocument) {
            EXPECT_TRUE(isWholeDocument(c.output()));
        }
    }
}

// Registers as "Word.Application" the engine behind FailingDispatch, counting into `counter`;
// creating the application counts as a call too.
void registerFailingEngine(const std::shared_ptr<CallCounter>& counter) {
    registerClass(u"Word.Application", [counter] {
        if (++counter->calls == counter->failAt)
            throw AutomationError(u"CreateObject(Word.Application)", u"refused for the test");
        engine::registerWordEngine();
        const Object real = CreateObject(u"Word.Application");
        registerFailingEngine(counter);
        return FailingDispatch::wrap(real, counter);
    });
}

TEST_F(NothingLost, ARefusalAtAnyAutomationCallLeavesNothing) {
    // The calls of a whole run, counted first.
    int callCount = 0;
    {
        SmallConversion whole;
        const auto counter = std::make_shared<CallCounter>();
        registerFailingEngine(counter);
        whole.run();
        ASSERT_FALSE(whole.job.Failed) << whole.errors.front();
        callCount = counter->calls;
        engine::registerWordEngine();
        ASSERT_TRUE(isWholeDocument(whole.output()));
    }
    ASSERT_GT(callCount, 50);
    for (int failAt = 1; failAt <= callCount; ++failAt) {
        SCOPED_TRACE("refused at call " + std::to_string(failAt));
        SmallConversion c;
        const auto counter = std::make_shared<CallCounter>(CallCounter{.failAt = failAt});
        registerFailingEngine(counter);
        c.run();
        engine::registerWordEngine();
        c.expectNothingLeft();
        EXPECT_FALSE(c.cancelled);
        if (c.outputBytes() == kOldDocument) {
            // The refusal is told, and names the call.
            EXPECT_TRUE(c.job.Failed);
            ASSERT_EQ(c.errors.size(), 1u);
            EXPECT_NE(c.errors.front().find("refused for the test"), std::string::npos)
                << c.errors.front();
        } else {
            // Only the teardown after the save was refused: the document is whole.
            EXPECT_FALSE(c.job.Failed) << c.errors.front();
            EXPECT_TRUE(isWholeDocument(c.output()));
        }
    }
}

}  // namespace
}  // namespace quillet
