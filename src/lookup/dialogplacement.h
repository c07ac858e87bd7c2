#pragma once

class QDialog;
class QWidget;

namespace lintaro::dialogplacement {

// Window flags of the lookup dialogs: a system menu and a minimise box, no maximise box.
void setFrame(QDialog *dialog);

// Sizes the window to the given outer size and centres it on its screen; run
// when it is first shown, once the frame is known.
void placeCentred(QDialog *dialog, int outerWidth, int outerHeight);

// Puts the focus on the window's first control in tab order, so that a window
// shown again does not open on the button pressed last time.
void focusFirstControl(QWidget *window);

} // namespace lintaro::dialogplacement
