#pragma once

class QDialog;

namespace morvik {

// A dialog that cannot be resized offers no minimise or maximise either: a title and a close
// button only, whatever the window system would add by default.
void makeFixedSizeDialog(QDialog& dialog);

} // namespace morvik
