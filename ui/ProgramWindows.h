// Start-up of the program: the program-wide objects of every module, then
// the windows in their fixed order, wired to each other. Tests build the
// same set to drive the program as the technician does.
#pragma once

#include <memory>

namespace svc::ui {

class HowToWindows;
class TAboutBox;
class TFormAdjust;
class TFormBoot;
class TFormQuit;

// Creates the one program-wide object of each printer-link and feature
// module. Runs before any window exists; a job stream that gets no memory
// shows its own box and ends the program.
void CreateProgramObjects();

class ProgramWindows {
public:
    // Creates the start window, the main adjustment window, the version
    // window, the quit window and the nine how-to windows, all hidden.
    ProgramWindows();
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    TFormBoot& Boot() const { return *boot_; }
    TFormAdjust& Adjust() const { return *adjust_; }
    TAboutBox& About() const { return *about_; }
    TFormQuit& Quit() const { return *quit_; }
    HowToWindows& HowTo() const { return *howTo_; }

private:
    // Destroyed in reverse order: the how-to windows first, the start window last.
    std::unique_ptr<TFormBoot> boot_;
    std::unique_ptr<TFormAdjust> adjust_;
    std::unique_ptr<TAboutBox> about_;
    std::unique_ptr<TFormQuit> quit_;
    std::unique_ptr<HowToWindows> howTo_;
};

}  // namespace svc::ui
