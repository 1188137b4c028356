#include "programs/ctl/TerminalTransferView.h"

#include "programs/ctl/Console.h"

#include <QCoreApplication>

namespace orvex::ctl {

namespace {
// Carriage return, then erase to the end of the line: the next text replaces the last one.
constexpr char kRedrawLine[] = "\r\x1b[K";
} // namespace

TerminalTransferView::TerminalTransferView(Console &console)
    : m_console(console)
{}

void TerminalTransferView::showTransferStatus()
{
    m_message.reset();
}

void TerminalTransferView::setTransferStatus(const QString &text)
{
    if (m_console.errorIsTerminal()) {
        m_console.err() << kRedrawLine << progressLine(text) << Qt::flush;
        m_progressShown = true;
    }
    processPendingEvents();
}

void TerminalTransferView::hideTransferStatus()
{
    clearProgressLine();
}

void TerminalTransferView::processPendingEvents()
{
    // Lets the interrupt notifier see a Ctrl+C; there are no windows to repaint.
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents();
}

void TerminalTransferView::showMessage(const UserMessage &message)
{
    clearProgressLine();
    m_message = message;
}

QString TerminalTransferView::progressLine(const QString &status)
{
    QString line = status;
    line.replace(kLineBreak, QStringLiteral(", "));
    return line;
}

void TerminalTransferView::clearProgressLine()
{
    if (!m_progressShown)
        return;
    m_console.err() << kRedrawLine << Qt::flush;
    m_progressShown = false;
}

void printUserMessage(Console &console, const UserMessage &message)
{
    if (message.icon == MessageIcon::Critical || message.icon == MessageIcon::Exclamation)
        console.errorLine(message.text);
    else
        console.printLine(message.text);
}

} // namespace orvex::ctl
