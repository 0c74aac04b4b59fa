#include "ui/ProgramWindows.h"

#include "ui/Accessibility.h"
#include "ui/howto/HowToWindows.h"

#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "link/VexStatusControl.h"
#include "service/VexFactory.h"
#include "ui/VexFormAbout.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "ui/VexFormQuit.h"
#include "ui/howto/HowToWindows.h"
#include "ui/panels/Panels.h"

namespace svc::ui {

void CreateProgramObjects() {
    JobStream();
    Status();
    Factory();
    RemoteComm();
}

ProgramWindows::ProgramWindows()
    : boot_(std::make_unique<TFormBoot>()),
      adjust_(std::make_unique<TFormAdjust>(*boot_)),
      about_(std::make_unique<TAboutBox>()),
      quit_(std::make_unique<TFormQuit>()),
      howTo_(std::make_unique<HowToWindows>()) {
    boot_->SetMainWindow(adjust_.get());
    boot_->SetAboutBox(about_.get());
    adjust_->SetQuitWindow(quit_.get());
    adjust_->SetHowToWindows(howTo_.get());
    RegisterFeaturePanels(*adjust_);
    quit_->SetStartWindow(boot_.get());
    // Every window built: names, roles and buddies for assistive technology.
    InstallAccessibility();
    for (QWidget* window : {static_cast<QWidget*>(boot_.get()), static_cast<QWidget*>(adjust_.get()),
                            static_cast<QWidget*>(about_.get()), static_cast<QWidget*>(quit_.get())})
        MakeAccessible(window);
    for (int i = 0; i < kHowToCount; ++i) MakeAccessible(howTo_->Window(static_cast<svc::ui::HowTo>(i)));
}

ProgramWindows::~ProgramWindows() = default;

}  // namespace svc::ui
