#include "core/config/ConfigFile.h"

#include "core/config/ConfigModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

QString fileStatusText(FileStatus status)
{
    switch (status) {
    case FileStatus::Ok:
        return {};
    case FileStatus::InvalidFile:
        return QStringLiteral("Invalid configuration file");
    case FileStatus::OpenError:
        return QStringLiteral("Error opening the file");
    case FileStatus::SaveError:
        return QStringLiteral("Error saving file");
    case FileStatus::PartlySaved:
        return QStringLiteral("Error saving file. Only part of it could be written, so the file "
                              "no longer holds a complete configuration.");
    }
    return {};
}

QString fileProblemText(const QString &path, FileStatus status, const QString &reason)
{
    if (reason.isEmpty())
        return QStringLiteral("%1: %2").arg(path, fileStatusText(status));
    // The damage comes after the reason, as a sentence of its own.
    if (status == FileStatus::PartlySaved) {
        return QStringLiteral("%1: %2: %3. Only part of it could be written, so the file no "
                              "longer holds a complete configuration.")
            .arg(path, fileStatusText(FileStatus::SaveError), reason);
    }
    return QStringLiteral("%1: %2: %3").arg(path, fileStatusText(status), reason);
}

namespace {

void explain(QString *reason, const QString &text)
{
    if (reason != nullptr)
        *reason = text;
}

// The system's words for an error, as the rest of a sentence ("no space left on device").
QString systemText(const QString &text)
{
    return text.isEmpty() ? text : text.front().toLower() + text.mid(1);
}

QString folderOf(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

// Why `path` could not be opened for reading, from the error of the open.
QString openReason(const QString &path, int error)
{
    switch (error) {
    case ENOENT: {
        const QFileInfo info(path);
        if (info.isSymLink()) {
            return QStringLiteral("it is a link to %1, which does not exist")
                .arg(info.symLinkTarget());
        }
        if (!QFileInfo::exists(info.absolutePath()))
            return QStringLiteral("the folder %1 does not exist").arg(folderOf(path));
        return QStringLiteral("no such file");
    }
    case EACCES:
    case EPERM:
        return QStringLiteral("no permission to read it");
    case ENOTDIR:
        return QStringLiteral("a part of its path is not a folder");
    case EISDIR:
        return QStringLiteral("it is a folder");
    default:
        return systemText(qt_error_string(error));
    }
}

// Why something other than a regular file cannot be a configuration.
QString kindReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a pipe, not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    return QStringLiteral("it is not a regular file");
}

QString lengthReason(qint64 size)
{
    return QStringLiteral("it is %1 %2 long; a configuration file is exactly %3 bytes")
        .arg(size)
        .arg(size == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"))
        .arg(kImageSize);
}

QString faultReason(const ImageFault &fault)
{
    const QString where = fault.channel < 0 ? QString::fromLatin1(fault.value)
                                            : QStringLiteral("channel %1, %2")
                                                  .arg(fault.channel + 1)
                                                  .arg(QString::fromLatin1(fault.value));
    return QStringLiteral("byte %1 (%2) is %3; the largest valid value is %4")
        .arg(fault.offset)
        .arg(where)
        .arg(int{fault.found})
        .arg(int{fault.largest});
}

// A regular file opened for reading, without blocking (a FIFO would otherwise wait for a
// writer), and measured on the open descriptor, so the file measured is the file read.
class ReadOnlyFile
{
public:
    explicit ReadOnlyFile(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
        , m_openError(errno)
    {}
    ~ReadOnlyFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    // False, with the reason, unless the path is a regular file that could be opened.
    bool openRegular(const QString &path, qint64 &size, QString *reason)
    {
        if (m_fd < 0) {
            explain(reason, openReason(path, m_openError));
            return false;
        }
        struct stat info
        {
        };
        if (::fstat(m_fd, &info) != 0) {
            explain(reason, systemText(qt_error_string(errno)));
            return false;
        }
        // Directories, FIFOs and device nodes have no length to check; they are not files.
        if (!S_ISREG(info.st_mode)) {
            explain(reason, kindReason(info.st_mode));
            return false;
        }
        size = info.st_size;
        return true;
    }

    // Reads exactly `size` bytes into `buffer`.
    bool readAll(char *buffer, std::size_t size, QString *reason)
    {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(m_fd, buffer + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                explain(reason, systemText(qt_error_string(errno)));
                return false;
            }
            if (n == 0) {
                explain(reason, QStringLiteral("it became shorter while it was read"));
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
    int m_openError;
};

} // namespace

FileStatus readImageFile(const QString &path, ConfigImage &image, QString *reason)
{
    ReadOnlyFile file(path);
    qint64 size = 0;
    if (!file.openRegular(path, size, reason))
        return FileStatus::OpenError;
    if (size != kImageSize) {
        explain(reason, lengthReason(size));
        return FileStatus::InvalidFile;
    }
    ConfigImage buffer;
    if (!file.readAll(reinterpret_cast<char *>(buffer.data()), buffer.size(), reason))
        return FileStatus::OpenError;
    image = buffer;
    return FileStatus::Ok;
}

FileStatus readSmallFile(const QString &path, qint64 maxSize, QByteArray &content, QString *reason)
{
    ReadOnlyFile file(path);
    qint64 size = 0;
    if (!file.openRegular(path, size, reason))
        return FileStatus::OpenError;
    if (size > maxSize)
        return FileStatus::InvalidFile;
    QByteArray buffer(size, Qt::Uninitialized);
    if (!file.readAll(buffer.data(), static_cast<std::size_t>(size), reason))
        return FileStatus::OpenError;
    content = buffer;
    return FileStatus::Ok;
}

QString saveTargetProblem(const QString &path)
{
    const QFileInfo target(path);
    if (target.isDir())
        return QStringLiteral("it is a folder");
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists())
        return QStringLiteral("the folder %1 does not exist").arg(folderOf(path));
    if (!folder.isDir())
        return QStringLiteral("%1 is not a folder").arg(folderOf(path));
    // A new file needs a folder that takes one; an existing file can be written in place.
    const QByteArray folderName = QFile::encodeName(folder.absoluteFilePath());
    const bool folderTakesFiles =
        ::faccessat(AT_FDCWD, folderName.constData(), W_OK | X_OK, AT_EACCESS) == 0;
    const bool fileWritable =
        target.exists() &&
        ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
    if (!folderTakesFiles && !fileWritable)
        return QStringLiteral("no permission to write in the folder %1").arg(folderOf(path));
    return {};
}

namespace {

// QSaveFile writes into the target itself only when its folder refused the temporary file.
bool writesInPlace(const QSaveFile &file)
{
    struct stat opened
    {
    };
    struct stat target
    {
    };
    return ::fstat(file.handle(), &opened) == 0 &&
           ::stat(QFile::encodeName(file.fileName()).constData(), &target) == 0 &&
           opened.st_dev == target.st_dev && opened.st_ino == target.st_ino;
}

// Writes the whole image to the descriptor; the error that stopped it, or 0.  Written with
// write(2) because a short write through Qt reports no reason, where the next write says it
// (a full disk, a file larger than the limit).
int writeAll(int fd, const ConfigImage &image)
{
    std::size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = ::write(fd, image.data() + done, image.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// What stopped a save, as far as it can be told: what stands in the way, or the system's words.
QString saveFailureReason(const QString &path, const QSaveFile &file)
{
    const QString problem = saveTargetProblem(path);
    return problem.isEmpty() ? systemText(file.errorString()) : problem;
}

} // namespace

FileStatus writeImageFile(const QString &path, const ConfigImage &image, QString *reason)
{
    // Written beside the target and renamed over it, so a failed save never costs the user the
    // previous file.  Unbuffered and straight to the descriptor, because a buffered flush that
    // writes only part of the data (a full disk) is not reported and the truncated file would
    // replace the good one.  A
    // writable file in a read-only folder can only be written in place; that is still better
    // than refusing to save, and a write cut short there is reported as such.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        explain(reason, saveFailureReason(path, file));
        return FileStatus::SaveError;
    }
    const FileStatus failed = writesInPlace(file) ? FileStatus::PartlySaved : FileStatus::SaveError;
    if (const int error = writeAll(file.handle(), image); error != 0) {
        explain(reason, systemText(qt_error_string(error)));
        file.cancelWriting();
        return failed;
    }
    if (!file.commit()) {
        explain(reason, systemText(file.errorString()));
        return failed;
    }
    return FileStatus::Ok;
}

FileStatus loadConfigFile(ConfigModel &model, const QString &path, QString *reason)
{
    ConfigImage image;
    const FileStatus status = readImageFile(path, image, reason);
    if (status != FileStatus::Ok)
        return status;
    if (!decodeImage(model, image)) {
        if (const std::optional<ImageFault> fault = findImageFault(image))
            explain(reason, faultReason(*fault));
        return FileStatus::InvalidFile;
    }
    model.markUnchanged();
    return FileStatus::Ok;
}

FileStatus saveConfigFile(ConfigModel &model, const QString &path, QString *reason)
{
    const FileStatus status = writeImageFile(path, encodeImage(model), reason);
    if (status == FileStatus::Ok)
        model.markUnchanged();
    return status;
}

} // namespace orvex
