#include "controls/FixedSizeDialog.h"

#include <QDialog>

namespace morvik {

void makeFixedSizeDialog(QDialog& dialog) {
    const Qt::WindowFlags kept =
        dialog.windowFlags() & ~(Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint |
                                 Qt::WindowFullscreenButtonHint);
    dialog.setWindowFlags(kept | Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog.setSizeGripEnabled(false);
}

} // namespace morvik
