// An exception escaping an event handler ends the program after an error box.
#include "ui/GuardedApplication.h"

#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>

#include <cstdio>
#include <stdexcept>

namespace svc::ui {
namespace {

class ThrowingObject : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("Table index out of range.");
        return QObject::event(e);
    }
};

// Runs in the death-test child: one event whose handler throws.
void DeliverThrowingEvent() {
    int argc = 1;
    char name[] = "svcadjust";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    GuardedApplication app(argc, argv);
    fake::ScriptedHost host;
    host.OnMessageBox([](const fake::ScriptedHost::Box& box) {
        // The death test reads what the box said from standard error.
        std::fprintf(stderr, "box [%s] [%s] error=%d\n", box.caption.c_str(), box.text.c_str(),
                     box.icon == BoxIcon::Error);
    });
    ThrowingObject target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    std::fprintf(stderr, "survived\n");
    std::exit(0);
}

TEST(GuardedApplicationTest, EscapingExceptionShowsABoxAndEndsTheProgram) {
    EXPECT_EXIT(DeliverThrowingEvent(), ::testing::ExitedWithCode(EXIT_FAILURE),
                "box \\[Adjustment program\\] \\[Table index out of range.\\] error=1");
}

}  // namespace
}  // namespace svc::ui
