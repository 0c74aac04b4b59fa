#include "ui/GuardedApplication.h"

#include "link/Host.h"
#include "i18n/Translate.h"

#include <cstdlib>
#include <exception>

namespace svc::ui {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        EndWithErrorBox(e.what());
    } catch (...) {
        EndWithErrorBox(SVC_N("An unexpected error occurred."));
    }
}

void EndWithErrorBox(const std::string& text) {
    host().MessageBox(BoxOwner::None, text, kApplicationTitle, BoxIcon::Error, BoxButtons::Ok);
    std::exit(EXIT_FAILURE);
}

}  // namespace svc::ui
