// The few places where printer logic meets a person or the passing of time.
// The GUI installs its own Host; tests install a scripted one, so a wait costs
// no wall time and a message box is answered by the test.
#pragma once

#include <string>

namespace svc {

enum class BoxIcon { Error, Information, Question, Warning };
enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxAnswer { Ok, Cancel, Yes, No };
// Whose child a message box is: none (start-up) or the main adjustment window.
enum class BoxOwner { None, MainWindow };

class Host {
public:
    virtual ~Host() = default;
    // Blocks for the given time (the GUI keeps painting meanwhile).
    virtual void Sleep(int milliseconds) = 0;
    // Lets the main window repaint itself during a long operation.
    virtual void RepaintMainWindow() = 0;
    // Shows a modal message box and returns the button pressed.
    virtual BoxAnswer MessageBox(BoxOwner owner, const std::string& text, const std::string& caption, BoxIcon icon,
                                 BoxButtons buttons) = 0;
};

// The host in use. Until one is installed a console host is used: it really
// sleeps, repaints nothing and writes message boxes to standard error as
// "caption: text". With nobody to ask, it answers OK to an OK box, Cancel to
// an OK/Cancel box and No to a Yes/No box.
Host& host();
// Installs a host (nullptr restores the console host). The caller keeps ownership.
void SetHost(Host* host);

}  // namespace svc
