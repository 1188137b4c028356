#pragma once

#include <QDialog>

class QLabel;

namespace orvex {

// frmStatus: the small modeless window that shows the progress of a whole-configuration
// transfer while the transfer's loop keeps running.
class StatusWindow : public QDialog
{
    Q_OBJECT

public:
    static inline const QString kInitialText = QStringLiteral("Initializing...");

    explicit StatusWindow(QWidget *owner);

    // Shows the window modeless (QDialog centres it on its owner) with the initial text.
    void showInitial();

    // Shows the text (CR LF becomes a line break).  The transfer runs on the device thread, so
    // the window paints it as soon as it gets back to its event loop.
    void setStatus(const QString &text);

    QString statusText() const;

Q_SIGNALS:
    // Every text given to setStatus, as the core wrote it.
    void statusChanged(const QString &text);

protected:
    // Escape would hide the progress in the middle of the transfer; the transfer hides the
    // window itself when it ends.
    void reject() override {}

private:
    QLabel *lblStatus;
};

} // namespace orvex
