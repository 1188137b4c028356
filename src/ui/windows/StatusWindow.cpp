#include "ui/windows/StatusWindow.h"

#include "core/config/UserMessage.h"
#include "ui/dialogs/FixedDialog.h"
#include "ui/windows/MessageBoxes.h"

#include <QLabel>

namespace orvex {

StatusWindow::StatusWindow(QWidget *owner)
    : QDialog(owner)
    , lblStatus(new QLabel(kInitialText, this))
{
    setObjectName(QStringLiteral("frmStatus"));
    setWindowTitle(kMainWindowTitle);
    makeFixedDialog(this, 208, 42);
    // The transfer ends the window itself; closing it early would only hide the progress.
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setModal(false);

    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(8, 8, 193, 33);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void StatusWindow::showInitial()
{
    lblStatus->setText(kInitialText);
    show();
}

void StatusWindow::setStatus(const QString &text)
{
    lblStatus->setText(displayText(text));
    Q_EMIT statusChanged(text);
}

QString StatusWindow::statusText() const
{
    return lblStatus->text();
}

} // namespace orvex
