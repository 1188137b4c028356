#include "ui/windows/QtFilePrompts.h"

#include "ui/windows/MessageBoxes.h"

#include <QFileDialog>
#include <QMessageBox>

namespace orvex {

SaveChangesAnswer QtFilePrompts::askSaveChanges(const UserMessage &question)
{
    QMessageBox box(QMessageBox::NoIcon, question.title, displayText(question.text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel); // also what the close box answers
    switch (box.exec()) {
    case QMessageBox::Yes:
        return SaveChangesAnswer::Yes;
    case QMessageBox::No:
        return SaveChangesAnswer::No;
    default:
        return SaveChangesAnswer::Cancel;
    }
}

QString QtFilePrompts::getSaveFileName(const QString &initialPath)
{
    // QFileDialog asks before overwriting and adds no suffix unless told to.
    return QFileDialog::getSaveFileName(m_parent, kSaveTitle, initialPath, kFileFilter);
}

QString QtFilePrompts::getOpenFileName(const QString &initialPath)
{
    return QFileDialog::getOpenFileName(m_parent, kOpenTitle, initialPath, kFileFilter);
}

void QtFilePrompts::showMessage(const UserMessage &message)
{
    showMessageBox(m_parent, message);
}

} // namespace orvex
