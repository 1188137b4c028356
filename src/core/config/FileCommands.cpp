#include "core/config/FileCommands.h"

#include "core/config/ConfigFile.h"
#include "core/config/ConfigModel.h"

#include <QDir>
#include <QFileInfo>

namespace orvex {

FileCommands::FileCommands(ConfigModel &model, FilePrompts &prompts)
    : m_model(model)
    , m_prompts(prompts)
{}

bool FileCommands::askSaveChanges()
{
    if (!m_model.configChanged())
        return false;

    const UserMessage question{QStringLiteral("The current configuration has changed.") +
                                   kLineBreak + QStringLiteral("Do you want to save the changes?"),
                               m_windowTitle, MessageIcon::None};
    switch (m_prompts.askSaveChanges(question)) {
    case SaveChangesAnswer::Yes:
        return !saveFile();
    case SaveChangesAnswer::No:
        return false;
    case SaveChangesAnswer::Cancel:
        break;
    }
    return true;
}

QString FileCommands::initialSavePath() const
{
    if (!m_model.configFileName().isEmpty())
        return m_model.configFileName();
    return QDir::current().filePath(QString::fromLatin1(kDefaultConfigFileName));
}

bool FileCommands::saveFile()
{
    const QString path = m_prompts.getSaveFileName(initialSavePath()).trimmed();
    if (path.isEmpty())
        return false;

    m_model.setConfigFileName(path);
    const FileStatus status = saveConfigFile(m_model, path);
    if (status != FileStatus::Ok) {
        showError(fileStatusText(status));
        return false;
    }
    return true;
}

bool FileCommands::openFile()
{
    const QString path = m_prompts.getOpenFileName(m_model.configFileName()).trimmed();
    if (path.isEmpty())
        return false;
    return openChosenFile(path);
}

// What File > Open does once it knows the file: the file becomes the current one before it is
// examined, so that a later Save proposes it even when it proved invalid.
bool FileCommands::openChosenFile(const QString &path)
{
    m_model.setConfigFileName(path);
    const FileStatus status = loadConfigFile(m_model, path);
    if (status != FileStatus::Ok)
        showError(fileStatusText(status));
    return status != FileStatus::OpenError;
}

void FileCommands::newConfiguration()
{
    if (askSaveChanges())
        return;
    m_model.resetSettings();
    m_model.markUnchanged();
}

void FileCommands::openConfiguration()
{
    if (askSaveChanges())
        return;
    openFile();
}

bool FileCommands::openConfiguration(const QString &path)
{
    if (askSaveChanges())
        return false;
    openChosenFile(path);
    return true;
}

void FileCommands::saveConfiguration()
{
    saveFile();
}

void FileCommands::showError(const QString &text)
{
    m_prompts.showMessage({text, m_windowTitle, MessageIcon::Critical});
}

std::optional<QString> droppedConfigurationFile(const QList<QUrl> &urls)
{
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return std::nullopt;
    const QFileInfo file(urls.first().toLocalFile());
    if (file.isDir() || file.suffix().compare(QStringLiteral("orv"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return file.absoluteFilePath();
}

} // namespace orvex
