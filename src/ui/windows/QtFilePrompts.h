#pragma once

#include "core/config/FileCommands.h"

#include <QPointer>
#include <QWidget>

namespace orvex {

// The file commands' questions, answered by the user through Qt's file dialogs and message
// boxes.  Every dialog is modal to the main window once it is known.
class QtFilePrompts : public FilePrompts
{
public:
    // "*" rather than "*.*": on Linux "*.*" would hide the files saved without an extension.
    static inline const QString kFileFilter = QStringLiteral("All Files (*)");
    static inline const QString kSaveTitle = QStringLiteral("Save File");
    static inline const QString kOpenTitle = QStringLiteral("Open File");

    void setDialogParent(QWidget *parent) { m_parent = parent; }

    SaveChangesAnswer askSaveChanges(const UserMessage &question) override;
    QString getSaveFileName(const QString &initialPath) override;
    QString getOpenFileName(const QString &initialPath) override;
    void showMessage(const UserMessage &message) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace orvex
