// A whole conversion of the sample help file, unpacking, distillation and Word stage together,
// stopped at each of its progress reports as the cancel button stops it: whichever report it is,
// the temporary folder is left empty and the document that was at the output path stays unless
// the new one was saved whole.
#include "engine/html/web_page_reader.h"
#include "engine/word_engine.h"
#include "job/output_word.h"
#include "job/progress_controls.h"
#include "platform/user_interface.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "word/word_stage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;

constexpr std::string_view kOldDocument = "old document";

struct SilentUi : UserInterface {
    std::vector<std::u16string> messages;
    void showMessage(MessageKind, const std::u16string& text) override { messages.push_back(text); }
    AbortRetry askAbortRetry(const std::u16string&) override { return AbortRetry::Abort; }
    std::optional<std::u16string> askSaveFileName(const std::u16string&) override { return {}; }
};

// Calls `onReport` on the main thread at each report the worker shows; keeps the last caption.
struct ReportCounter : ProgressGauge, TextLine, CaptionButton {
    std::function<void()> onReport;
    std::u16string caption;
    void setProgress(int) override { onReport(); }
    void setCaption(const std::u16string& text) override {
        if (!text.empty()) caption = text;
    }
};

class WholeRun : public ::testing::Test {
protected:
    WholeRun() : m_tmpEnv("TMPDIR", m_tmp.path().string()) {
        engine::registerWordEngine();
        engine::registerWebPageReader();
    }

    struct Outcome {
        bool failed = false;
        std::string document;  // what is at the output path afterwards
    };

    // Converts the sample over an old document; `stopAt` (counted from 1) is the report at which
    // the user cancels, 0 for none. `reports` counts them.
    Outcome run(int stopAt, int& reports, std::set<std::u16string>* stoppedIn = nullptr) {
        const fs::path output = m_out.path() / "Guide.docx";
        std::ofstream(output, std::ios::binary) << kOldDocument;
        auto job = std::make_unique<TChmToDocPDF>();
        job->pdf = fromPath(output);
        job->Title = u"Guide";
        job->setWordStage(wordStage());
        TChmToDocPDF& conversion = *job;
        SilentUi ui;
        ReportCounter counter;
        {
            TOutputWord worker(true, ui, std::move(job));
            worker.chm = fromPath(QUILLET_SAMPLE);
            worker.Gauge1 = &counter;
            worker.lbInfo = &counter;
            worker.btnCancel = &counter;
            reports = 0;
            counter.onReport = [&] {
                if (++reports != stopAt) return;
                worker.WantToExit = true;
                if (stoppedIn) stoppedIn->insert(counter.caption);
            };
            worker.Start();
            worker.WaitFor();
            Outcome outcome{conversion.Failed, {}};
            std::ifstream in(output, std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            outcome.document = bytes.str();
            for (const auto& entry : fs::directory_iterator(m_tmp.path()))
                ADD_FAILURE() << "left in the temporary folder: " << entry.path();
            for (const auto& entry : fs::directory_iterator(m_out.path()))
                EXPECT_EQ(entry.path(), output) << "left beside the output";
            if (!ui.messages.empty()) ADD_FAILURE() << toUtf8(ui.messages.front());
            return outcome;
        }
    }

private:
    TempDir m_tmp, m_out;
    ScopedEnv m_tmpEnv;
};

TEST_F(WholeRun, ACancellationAtAnyProgressReportLeavesNothing) {
    int reportCount = 0;
    const Outcome whole = run(0, reportCount);
    ASSERT_FALSE(whole.failed);
    ASSERT_TRUE(whole.document.starts_with("PK"));
    ASSERT_GT(reportCount, 10);
    std::set<std::u16string> stoppedIn;  // the stages, by their captions
    for (int stopAt = 1; stopAt <= reportCount; ++stopAt) {
        SCOPED_TRACE("cancelled at report " + std::to_string(stopAt));
        int reports = 0;
        const Outcome o = run(stopAt, reports, &stoppedIn);
        EXPECT_FALSE(o.failed) << "a cancellation is no failure";
        // The last reports come after the save: the new document is in place, whole.
        if (o.document != kOldDocument) {
            EXPECT_TRUE(o.document.starts_with("PK"));
            EXPECT_NE(o.document.rfind("PK\x05\x06"), std::string::npos) << "not whole";
        }
    }
    // Unpacking, distillation and the Word stage were each stopped. (How many reports the
    // unpacking makes depends on how long it takes, so the captions hit vary a little.)
    const auto stoppedInAny = [&](std::initializer_list<std::u16string_view> prefixes) {
        return std::ranges::any_of(stoppedIn, [&](const std::u16string& caption) {
            return std::ranges::any_of(
                prefixes, [&](std::u16string_view prefix) { return caption.starts_with(prefix); });
        });
    };
    EXPECT_TRUE(stoppedInAny({u"Decompiling..."}));
    EXPECT_TRUE(stoppedInAny({u"Preparing to distill", u"Processing ("}));
    EXPECT_TRUE(stoppedInAny({u"创建文件", u"创建封面", u"页眉和页脚", u"更新 TOC", u"保存文档"}));
}

}  // namespace
}  // namespace quillet
