#include "ui/dialogs/FixedDialog.h"

#include <QGuiApplication>
#include <QSize>
#include <QWidget>

namespace orvex {

void makeFixedDialog(QWidget *dialog, int clientWidth, int clientHeight)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setDesignSize(dialog, QSize(clientWidth, clientHeight));
}

bool windowSystemImposesSizes()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void setDesignSize(QWidget *window, const QSize &size)
{
    if (!windowSystemImposesSizes()) {
        window->setFixedSize(size);
        return;
    }
    window->setMinimumSize(size);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->resize(size);
}

} // namespace orvex
