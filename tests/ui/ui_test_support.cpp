#include "ui_test_support.h"

#include "ui/register_engines.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

namespace quillet::testing {

QApplication& testApp() {
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "tests_ui";
        static char* argv[] = {name, nullptr};
        auto* created = new QApplication(argc, argv);
        ui::registerEngines();
        return created;
    }();
    return *app;
}

bool waitUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds) return false;
        QTest::qWait(5);
    }
    return true;
}

}  // namespace quillet::testing

namespace {

// The application exists before any fixture builds its windows.
class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { quillet::testing::testApp(); }
};

[[maybe_unused]] ::testing::Environment* const g_application =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

// Under LeakSanitizer: fontconfig keeps its caches until the process ends, which is no fault of
// ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
