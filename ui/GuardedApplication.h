// The application object of the program: an exception that escapes an event
// handler is shown in an error box and ends the program, instead of
// unwinding through the event loop.
#pragma once

#include <QApplication>

#include <string>

namespace svc::ui {

inline constexpr const char* kApplicationTitle = "Adjustment program";

class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the error box (caption: the application title) and ends the program
// with a failure status.
[[noreturn]] void EndWithErrorBox(const std::string& text);

}  // namespace svc::ui
