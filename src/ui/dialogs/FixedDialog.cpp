#include "ui/dialogs/FixedDialog.h"

#include <QWidget>

namespace orvex {

void makeFixedDialog(QWidget *dialog, int clientWidth, int clientHeight)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(clientWidth, clientHeight);
}

} // namespace orvex
