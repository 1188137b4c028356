#include "core/config/ConfigFile.h"

#include "core/config/ConfigModel.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
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

namespace {

// Opens without blocking (a FIFO would otherwise wait for a writer) and checks on the open
// descriptor, so the file measured is the file read.
class ReadOnlyFile
{
public:
    explicit ReadOnlyFile(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
    {}
    ~ReadOnlyFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

FileStatus readImageFile(const QString &path, ConfigImage &image)
{
    const ReadOnlyFile file(path);
    if (file.fd() < 0)
        return FileStatus::OpenError;

    struct stat info
    {
    };
    if (::fstat(file.fd(), &info) != 0)
        return FileStatus::OpenError;
    // Directories, FIFOs and device nodes have no length to check; they are not files.
    if (!S_ISREG(info.st_mode))
        return FileStatus::OpenError;
    if (info.st_size != kImageSize)
        return FileStatus::InvalidFile;

    ConfigImage buffer;
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(file.fd(), buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return FileStatus::OpenError; // shrank while being read, or a read error
        done += static_cast<std::size_t>(n);
    }
    image = buffer;
    return FileStatus::Ok;
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

} // namespace

FileStatus writeImageFile(const QString &path, const ConfigImage &image)
{
    // Written beside the target and renamed over it, so a failed save never costs the user the
    // previous file.  Unbuffered, because a buffered flush that writes only part of the data
    // (a full disk) is not reported and the truncated file would replace the good one.  A
    // writable file in a read-only folder can only be written in place; that is still better
    // than refusing to save, and a write cut short there is reported as such.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return FileStatus::SaveError;
    const FileStatus failed = writesInPlace(file) ? FileStatus::PartlySaved : FileStatus::SaveError;
    const auto size = static_cast<qint64>(image.size());
    if (file.write(reinterpret_cast<const char *>(image.data()), size) != size) {
        file.cancelWriting();
        return failed;
    }
    return file.commit() ? FileStatus::Ok : failed;
}

FileStatus loadConfigFile(ConfigModel &model, const QString &path)
{
    ConfigImage image;
    const FileStatus status = readImageFile(path, image);
    if (status != FileStatus::Ok)
        return status;
    if (!decodeImage(model, image))
        return FileStatus::InvalidFile;
    model.markUnchanged();
    return FileStatus::Ok;
}

FileStatus saveConfigFile(ConfigModel &model, const QString &path)
{
    const FileStatus status = writeImageFile(path, encodeImage(model));
    if (status == FileStatus::Ok)
        model.markUnchanged();
    return status;
}

} // namespace orvex
