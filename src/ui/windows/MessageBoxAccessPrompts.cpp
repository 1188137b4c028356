#include "ui/windows/MessageBoxAccessPrompts.h"

#include "ui/windows/MessageBoxes.h"

#include <QMessageBox>

namespace orvex {

MessageBoxAccessPrompts::MessageBoxAccessPrompts(QWidget *parent)
    : m_parent(parent)
{}

bool MessageBoxAccessPrompts::askYesNo(const UserMessage &question)
{
    QMessageBox box(QMessageBox::Question, question.title, displayText(question.text),
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void MessageBoxAccessPrompts::showMessage(const UserMessage &message)
{
    showMessageBox(m_parent, message);
}

} // namespace orvex
