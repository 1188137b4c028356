#pragma once

class QWidget;

namespace orvex {

// Fixed-size dialog frame (QDialog itself centres a dialog on its owner when it is shown): title
// and close box only, no resizing, no context help button.
void makeFixedDialog(QWidget *dialog, int clientWidth, int clientHeight);

} // namespace orvex
