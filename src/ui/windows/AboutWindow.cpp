#include "ui/windows/AboutWindow.h"

#include "ui/dialogs/FixedDialog.h"

#include <QLabel>
#include <QPushButton>

namespace orvex {

QString versionLine(int major, int minor)
{
    return QStringLiteral("ORVEX version %1.%2").arg(major).arg(minor);
}

AboutWindow::AboutWindow(QWidget *owner)
    : QDialog(owner)
    , lblDescription(new QLabel(this))
    , cmdOK(new QPushButton(QStringLiteral("OK"), this))
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ORVEX"));
    makeFixedDialog(this, 287, 104);
    setModal(true);

    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setGeometry(16, 8, 259, 70);
    lblDescription->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(104, 72, 84, 23);
    cmdOK->setDefault(true);
    // Escape rejects the dialog, which hides it like OK does.
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

QString AboutWindow::descriptionText()
{
    return versionLine(ORVEX_VERSION_MAJOR, ORVEX_VERSION_MINOR) + QLatin1Char('\n') + kCopyright +
           QLatin1Char('\n') + kWebAddress;
}

void AboutWindow::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        lblDescription->setText(descriptionText());
        m_loaded = true;
    }
    QDialog::showEvent(event);
}

} // namespace orvex
