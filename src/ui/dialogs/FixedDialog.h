#pragma once

class QSize;
class QWidget;

namespace orvex {

// Fixed-size dialog frame (QDialog itself centres a dialog on its owner when it is shown): title
// and close box only, no resizing, no context help button.
void makeFixedDialog(QWidget *dialog, int clientWidth, int clientHeight);

// Whether the window system may impose a size on a window that asks for a fixed one.  A Wayland
// compositor that maximizes a window, or makes it fill the screen, wants exactly the size it
// configured; a window that keeps a smaller one is cut off from the compositor, and the program
// ends with it.  Qt's own title bar there offers maximize on every window.
bool windowSystemImposesSizes();

// Gives a window the size of its design.  Where the window system imposes sizes the window may
// grow beyond it, never shrink below it, and its controls keep their design places and sizes in
// its top left corner; everywhere else the size is fixed.
void setDesignSize(QWidget *window, const QSize &size);

} // namespace orvex
