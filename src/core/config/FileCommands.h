#pragma once

#include "core/config/UserMessage.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace orvex {

class ConfigModel;

enum class SaveChangesAnswer { Yes, No, Cancel };

// What the file commands need from the user.  The main window answers with real dialogs; tests
// answer from a script.
class FilePrompts
{
public:
    virtual ~FilePrompts() = default;

    // Yes/No/Cancel question without an icon; Escape and the close box answer Cancel.
    virtual SaveChangesAnswer askSaveChanges(const UserMessage &question) = 0;

    // "Save File" dialog, asking before overwriting; returns the chosen path, or an empty
    // string when the user cancelled.
    virtual QString getSaveFileName(const QString &initialPath) = 0;

    // "Open File" dialog for existing files; returns the chosen path or an empty string.
    virtual QString getOpenFileName(const QString &initialPath) = 0;

    virtual void showMessage(const UserMessage &message) = 0;
};

// File > New, Open and Save, and the unsaved-changes guard that New, Open, reading from the
// device and leaving the program go through.
class FileCommands
{
public:
    FileCommands(ConfigModel &model, FilePrompts &prompts);

    // The title of the program's message boxes (the main window's caption).
    void setWindowTitle(const QString &title) { m_windowTitle = title; }

    // True when the caller must stop: the user cancelled, or the save the user asked for did
    // not happen.
    bool askSaveChanges();

    // True when the configuration was written to a file.
    bool saveFile();

    // False when the dialog was cancelled or the file could not be read; true otherwise,
    // whether or not the file proved valid.
    bool openFile();

    void newConfiguration();  // File > New
    void openConfiguration(); // File > Open
    void saveConfiguration(); // File > Save

    // Opens `path` exactly as File > Open opens the file chosen in its dialog, after the same
    // unsaved-changes question: a file named on the command line, dropped on the window or
    // handed over by another start.  False when the question stopped it.
    bool openConfiguration(const QString &path);

    // Where the save dialog starts: the current file, or "Config.ORV" in the current folder.
    QString initialSavePath() const;

private:
    bool openChosenFile(const QString &path);
    void showError(const QString &text);

    ConfigModel &m_model;
    FilePrompts &m_prompts;
    QString m_windowTitle = kMainWindowTitle;
};

// The one file a drop may open: a single local file, not a folder, named like a configuration
// file (".orv" in any letter case).  Nothing for several files, folders, other types or
// anything that is not on this computer.
std::optional<QString> droppedConfigurationFile(const QList<QUrl> &urls);

} // namespace orvex
