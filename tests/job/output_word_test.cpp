#include "job/output_word.h"

#include "platform/temp_files.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "text/text_context.h"

#include <gtest/gtest.h>

#include <deque>
#include <thread>

namespace quillet {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

// The conversion object with its stages replaced: each records its call and runs a hook.
class FakeJob : public TChmToDocPDF {
public:
    using Hook = std::function<void(FakeJob&)>;
    std::vector<std::string> calls;
    std::u16string loadedFile;
    Hook onLoad, onDecompile, onDistill, onOutput;

    void LoadFromCHM(const std::u16string& ChmFile) override {
        calls.push_back("LoadFromCHM");
        loadedFile = ChmFile;
        if (onLoad) onLoad(*this);
    }
    void decompile() override {
        calls.push_back("decompile");
        std::filesystem::create_directories(toPath(rootFolder) / "html");
        if (onDecompile) onDecompile(*this);
    }
    void Execute() override {
        calls.push_back("Execute");
        if (onDistill) onDistill(*this);
    }
    // Ends as the Word stage does: the working folder goes, OK is set, one last report.
    void OutputWord() override {
        calls.push_back("OutputWord");
        if (onOutput) onOutput(*this);
        DeleteFolder(rootFolder);
        OK = true;
        FOnChange(u"完成", 100);
    }
    void report(const std::u16string& text, int persent) { FOnChange(text, persent); }
};

// Controls that record what the main thread shows, and check that it is the main thread.
template <typename Value>
struct Recorder {
    std::vector<Value> values;
    std::thread::id mainThread = std::this_thread::get_id();
    bool offMainThread = false;
    void record(const Value& v) {
        offMainThread = offMainThread || std::this_thread::get_id() != mainThread;
        values.push_back(v);
    }
};
struct Gauge : ProgressGauge, Recorder<int> {
    void setProgress(int p) override { record(p); }
};
struct Label : TextLine, Recorder<std::u16string> {
    void setCaption(const std::u16string& c) override { record(c); }
};
struct Button : CaptionButton, Recorder<std::u16string> {
    void setCaption(const std::u16string& c) override { record(c); }
};

struct ScriptedUi : UserInterface {
    std::vector<std::pair<MessageKind, std::u16string>> messages;
    std::vector<std::u16string> questions;
    std::deque<AbortRetry> answers;
    std::thread::id mainThread = std::this_thread::get_id();
    void showMessage(MessageKind kind, const std::u16string& text) override {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        messages.emplace_back(kind, text);
    }
    AbortRetry askAbortRetry(const std::u16string& text) override {
        questions.push_back(text);
        if (answers.empty()) return AbortRetry::Abort;
        const AbortRetry a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::u16string> askSaveFileName(const std::u16string&) override { return {}; }
};

class OutputWordTest : public ::testing::Test {
protected:
    OutputWordTest() : m_env("TMPDIR", m_tmp.path().string()) {
        auto job = std::make_unique<FakeJob>();
        fake = job.get();
        worker = std::make_unique<TOutputWord>(true, ui, std::move(job));
        worker->Gauge1 = &gauge;
        worker->lbInfo = &label;
        worker->btnCancel = &button;
        worker->chm = u"/tmp/~wi1234.tmp";
    }

    void TearDown() override {
        worker.reset();
        EXPECT_FALSE(gauge.offMainThread || label.offMainThread || button.offMainThread);
        for (const auto& entry : std::filesystem::directory_iterator(m_tmp.path()))
            ADD_FAILURE() << "left behind: " << entry.path();
    }

    void run() {
        worker->Start();
        worker->WaitFor();
    }

    TempDir m_tmp;
    ScopedEnv m_env;
    ScriptedUi ui;
    Gauge gauge;
    Label label;
    Button button;
    FakeJob* fake = nullptr;
    std::unique_ptr<TOutputWord> worker;
};

TEST_F(OutputWordTest, RunsTheStagesInOrderAndEndsWithTheCloseCaption) {
    std::u16string rootSeenByDecompile;
    bool settingsCopiedFirst = false;
    fake->Settings->Discard = true;
    fake->onDecompile = [&](FakeJob& j) {
        rootSeenByDecompile = j.rootFolder;
        settingsCopiedFirst = j.Discard;
    };
    run();
    EXPECT_EQ(fake->calls,
              (std::vector<std::string>{"LoadFromCHM", "decompile", "Execute", "OutputWord"}));
    EXPECT_EQ(fake->loadedFile, u"/tmp/~wi1234.tmp");
    EXPECT_TRUE(settingsCopiedFirst);
    EXPECT_EQ(rootSeenByDecompile.rfind(fromPath(m_tmp.path()) + u"/", 0), 0u);
    EXPECT_EQ(button.values, std::vector<std::u16string>{u"关闭"});
    EXPECT_EQ(label.values.back(), u"完成");
    EXPECT_EQ(gauge.values.back(), 100);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(worker->FatalException());
}

TEST_F(OutputWordTest, AReportWithZeroOrEmptyKeepsTheOldValues) {
    fake->onDistill = [](FakeJob& j) {
        j.report(u"A", 5);
        j.report(u"", 10);
        j.report(u"B", 0);
        j.report(u"", 0);
    };
    run();
    ASSERT_GE(gauge.values.size(), 4u);
    EXPECT_EQ(std::vector<int>(gauge.values.begin(), gauge.values.begin() + 4),
              (std::vector<int>{5, 10, 10, 10}));
    EXPECT_EQ(std::vector<std::u16string>(label.values.begin(), label.values.begin() + 4),
              (std::vector<std::u16string>{u"A", u"A", u"B", u"B"}));
}

TEST_F(OutputWordTest, ACancelRequestStillUpdatesTheDisplayOnceThenEndsTheJob) {
    bool raised = false;
    fake->onDistill = [&](FakeJob& j) {
        j.report(u"one", 5);
        worker->WantToExit = true;
        try {
            j.report(u"two", 7);
        } catch (const EUserCancel& e) {
            raised = std::string(e.what()) == "用户取消！";
            throw;
        }
    };
    run();
    EXPECT_TRUE(raised);
    EXPECT_EQ(label.values.back(), u"two");
    EXPECT_EQ(gauge.values.back(), 7);
    EXPECT_EQ(fake->calls.back(), "Execute");  // the Word stage never ran
    EXPECT_TRUE(ui.messages.empty());          // a cancellation is not an error
    EXPECT_TRUE(button.values.empty());
    EXPECT_FALSE(std::filesystem::exists(toPath(fake->rootFolder)));
}

TEST_F(OutputWordTest, AnEarlyFailureIsReportedAndCleanedUp) {
    fake->onDecompile = [](FakeJob&) { throw std::runtime_error("cannot unpack guide.chm"); };
    run();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].first, MessageKind::Error);
    EXPECT_EQ(ui.messages[0].second, u"cannot unpack guide.chm");
    EXPECT_EQ(button.values, std::vector<std::u16string>{u"关闭"});
    EXPECT_EQ(label.values.back(), u"失败。");
    EXPECT_TRUE(fake->Failed);
    EXPECT_FALSE(std::filesystem::exists(toPath(fake->rootFolder)));
}

TEST_F(OutputWordTest, AFailureBeforeTheRootFolderIsChosenIsReportedToo) {
    fake->onLoad = [](FakeJob&) { throw std::runtime_error("not a help file"); };
    run();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].second, u"not a help file");
    EXPECT_EQ(button.values, std::vector<std::u16string>{u"关闭"});
    EXPECT_TRUE(fake->rootFolder.empty());
}

TEST_F(OutputWordTest, WordStageErrorsReachTheUserBeforeTheJobEnds) {
    fake->onOutput = [](FakeJob& j) {
        j.report(u"失败。", 0);
        j.Failed = true;
        j.FOnError(u"Word refused");
    };
    run();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], std::make_pair(MessageKind::Error, std::u16string(u"Word refused")));
    EXPECT_EQ(button.values, std::vector<std::u16string>{u"关闭"});
}

TEST_F(OutputWordTest, ALockedOutputIsAskedAboutUntilTheUserAborts) {
    ui.answers = {AbortRetry::Retry, AbortRetry::Retry, AbortRetry::Abort};
    int asked = 0;
    fake->onOutput = [&](FakeJob& j) {
        while (!j.Abort && asked < 10) {
            ++asked;
            j.FOnDenied(u"/out/guide.docx");
        }
    };
    run();
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(fake->Abort);
    ASSERT_EQ(ui.questions.size(), 3u);
    EXPECT_EQ(ui.questions[0],
              u"\"/out/guide.docx\" 拒绝访问！它可能已被打开。请关闭它，然后重试。");
}

TEST_F(OutputWordTest, StopItWhileTheWorkerReportsDoesNotDeadlock) {
    fake->onDistill = [](FakeJob& j) {
        for (int i = 1;; i = i % 100 + 1) j.report(u"working", i);  // ends only by cancel
    };
    worker->Start();
    // Serve calls as an event loop would until the job is under way, then cancel.
    while (gauge.values.size() < 50) {
        worker->checkSynchronize();
        std::this_thread::yield();
    }
    worker->StopIt();
    EXPECT_TRUE(worker->Finished());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(toPath(fake->rootFolder)));
}

TEST_F(OutputWordTest, TheJobReadsTextInTheHelpFilesCodePageAndReportsOnTheMainThread) {
    int ansiDuringJob = 0;
    fake->onLoad = [](FakeJob& j) { j.CodePage = 936; };
    fake->onDistill = [&](FakeJob&) {
        ansiDuringJob = SystemAnsiCodePage();
        TextUserInterface().showMessage(MessageKind::Error, u"cannot read page.htm");
    };
    run();
    EXPECT_EQ(ansiDuringJob, 936);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].second, u"cannot read page.htm");
    EXPECT_EQ(SystemAnsiCodePage(), PlatformAnsiCodePage()) << "the main thread is untouched";
}

TEST_F(OutputWordTest, StopItAfterTheJobEndedReturnsAtOnce) {
    fake->onDistill = [](FakeJob&) { throw std::runtime_error("broken page"); };
    run();
    worker->StopIt();
    EXPECT_TRUE(worker->Finished());
}

}  // namespace
}  // namespace quillet
