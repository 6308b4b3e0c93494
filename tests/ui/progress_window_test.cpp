// The progress window: the gauge, the cancel-or-close button, and the worker's calls arriving on
// the main thread while the window waits for it.

#include "ui/progress_window.h"

#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace quillet::ui {
namespace {

using testing::RecordingUserInterface;

TEST(Gauge, ClampsAndCutsThePercentage) {
    testing::testApp();
    struct Case {
        int report, value;
        const char* text;
    };
    const Case cases[] = {{45, 45, "45%"}, {150, 100, "100%"}, {-5, 0, "0%"}, {100, 100, "100%"}};
    TGauge gauge;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        gauge.setProgress(c.report);
        EXPECT_EQ(gauge.value(), c.value);
        EXPECT_EQ(gauge.text(), c.text);
    }
}

// A job whose first stage reports progress until it is cancelled, or reports once and fails.
class ScriptedJob : public TChmToDocPDF {
public:
    explicit ScriptedJob(bool runUntilCancelled) : m_loop(runUntilCancelled) {}
    void LoadFromCHM(const std::u16string&) override {
        if (!m_loop) {
            FOnChange(u"half way", 150);
            throw std::runtime_error("the help file is damaged");
        }
        for (int step = 1;; ++step) {
            FOnChange(u"step " + std::u16string(1, static_cast<char16_t>(u'0' + step % 10)), 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    bool m_loop;
};

class ProgressWindowTest : public ::testing::Test {
protected:
    ProgressWindowTest() { testing::testApp(); }
    void attach(bool runUntilCancelled) {
        window.OutputWord = std::make_unique<TOutputWord>(
            true, ui, std::make_unique<ScriptedJob>(runUntilCancelled));
    }
    std::vector<RecordingUserInterface::Message> messages;
    RecordingUserInterface ui{messages};
    TfrmProgress window;
};

TEST_F(ProgressWindowTest, CancelStopsTheRunningJobAndCloses) {
    attach(true);
    EXPECT_EQ(window.size(), QSize(581, 133));
    EXPECT_EQ(window.btnCancel->text(), "取消");
    window.show();
    ASSERT_TRUE(testing::waitUntil([&] { return window.lbInfo->text().startsWith("step"); }));
    EXPECT_EQ(window.Gauge1->text(), "10%");
    window.btnCancel->click();
    EXPECT_TRUE(window.OutputWord->Finished());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProgressWindowTest, TheCloseBoxAlsoStopsTheJob) {
    attach(true);
    window.show();
    ASSERT_TRUE(testing::waitUntil([&] { return window.lbInfo->text().startsWith("step"); }));
    window.close();
    EXPECT_TRUE(window.OutputWord->Finished());
}

TEST_F(ProgressWindowTest, AFailedJobReportsAndTheButtonCloses) {
    attach(false);
    window.show();
    ASSERT_TRUE(testing::waitUntil([&] { return window.btnCancel->text() == "关闭"; }));
    EXPECT_EQ(window.Gauge1->text(), "100%");
    EXPECT_EQ(window.lbInfo->text(), "失败。");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, u"the help file is damaged");
    window.btnCancel->click();
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace quillet::ui
