#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace orvex {

// "ORVEX version 2.58" for major 2, minor 58; each number written as a plain integer.
QString versionLine(int major, int minor);

// frmAbout: the program's version, copyright and web address.  Created once and afterwards
// only hidden and shown; the text is built when it is first shown.
class AboutWindow : public QDialog
{
    Q_OBJECT

public:
    static inline const QString kCopyright =
        QStringLiteral("Copyright \u00A9 2003-2024 ORVEX Controls");
    static inline const QString kWebAddress = QStringLiteral("www.orvex-controls.example");

    explicit AboutWindow(QWidget *owner);

    static QString descriptionText();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *lblDescription;
    QPushButton *cmdOK;
    bool m_loaded = false;
};

} // namespace orvex
