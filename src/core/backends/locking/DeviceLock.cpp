#include "core/backends/locking/DeviceLock.h"

#include "core/access/HardwareId.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

// The holder's record: its PID on the first line, its program name on the second.
constexpr qsizetype kMaxRecordLength = 256;
constexpr qsizetype kMaxProgramNameLength = 64;

QString programName()
{
    // The short name the program was started under ("orvex-config", "orvexctl").
    return QString::fromLocal8Bit(program_invocation_short_name);
}

bool isPrintableName(const QString &name)
{
    return !name.isEmpty() && name.size() <= kMaxProgramNameLength &&
           std::ranges::all_of(name, [](QChar c) { return c.isPrint(); });
}

// Makes the lock folder for this user only.  An existing folder is used as it is: the runtime
// folder is the user's own, and Qt's fallback location is checked by Qt.
bool makeFolder(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST)
        return true;
    // Missing parents are made private too (the runtime folder itself normally exists).
    const QString parent = QFileInfo(folder).path();
    if (errno != ENOENT || parent == folder || !makeFolder(parent))
        return false;
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.constData() + done,
                                   static_cast<std::size_t>(data.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

QString defaultDeviceLockFolder()
{
    // Without a runtime folder (a bare SSH session, CI) the locks go to a per-user folder in
    // the temporary folder; QStandardPaths would do the same but print a warning each time.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return QDir::tempPath() + QStringLiteral("/orvex-runtime-%1").arg(::getuid());
    return runtime + QStringLiteral("/orvex");
}

// ---------------------------------------------------------------------------------------------
// DeviceLock

DeviceLock::DeviceLock(QString path)
    : m_path(std::move(path))
{}

DeviceLock::~DeviceLock()
{
    release();
}

LockResult DeviceLock::tryAcquire()
{
    if (isHeld())
        return LockResult::Acquired;
    // O_NOFOLLOW: a symbolic link planted in place of the lock file is refused, not followed.
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0)
        return LockResult::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? LockResult::HeldElsewhere : LockResult::Unavailable;
    }
    m_fd = fd;
    recordHolder();
    return LockResult::Acquired;
}

void DeviceLock::recordHolder()
{
    // The file stays after release; the next holder overwrites the record.  Readers that catch
    // it half-written see no holder, never a wrong one, as readHolder() checks both lines.
    const QByteArray record =
        QByteArray::number(static_cast<qint64>(::getpid())) + '\n' + programName().toUtf8() + '\n';
    if (::ftruncate(m_fd, 0) != 0 || !writeAll(m_fd, record))
        return; // the lock still holds; only the holder's name is missing
}

void DeviceLock::release()
{
    if (!isHeld())
        return;
    // Closing the only descriptor releases the flock.
    ::close(m_fd);
    m_fd = -1;
}

QString DeviceLock::readHolder(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The record outlives its holder; it only names someone while the lock is really held.
    if (::flock(file.handle(), LOCK_SH | LOCK_NB) == 0) {
        ::flock(file.handle(), LOCK_UN);
        return {};
    }
    const QList<QByteArray> lines = file.read(kMaxRecordLength).split('\n');
    if (lines.size() < 2)
        return {};
    bool isNumber = false;
    const qint64 pid = lines[0].toLongLong(&isNumber);
    const QString name = QString::fromUtf8(lines[1]);
    if (!isNumber || pid <= 0 || !isPrintableName(name))
        return {};
    return QStringLiteral("%1 (PID %2)").arg(name).arg(pid);
}

// ---------------------------------------------------------------------------------------------
// DeviceLocks

DeviceLocks::DeviceLocks(QString folder)
    : m_folder(std::move(folder))
{}

DeviceLocks &DeviceLocks::shared(const QString &folder)
{
    // Never destroyed: layers in static objects may still release locks at exit.
    static auto *byFolder = new std::map<QString, std::unique_ptr<DeviceLocks>>;
    static std::mutex mutex;
    const std::lock_guard guard(mutex);
    std::unique_ptr<DeviceLocks> &locks = (*byFolder)[folder];
    if (!locks)
        locks = std::make_unique<DeviceLocks>(folder);
    return *locks;
}

QString DeviceLocks::lockPath(std::uint16_t productId) const
{
    return m_folder + QStringLiteral("/device-%1.lock").arg(productId, 4, 16, QLatin1Char('0'));
}

LockResult DeviceLocks::acquire(std::uint16_t productId)
{
    const std::lock_guard guard(m_mutex);
    Hold &hold = m_holds[productId];
    if (hold.count > 0) {
        ++hold.count;
        return LockResult::Acquired;
    }
    if (!hold.lock)
        hold.lock = std::make_unique<DeviceLock>(lockPath(productId));
    LockResult result = LockResult::Unavailable;
    if (makeFolder(m_folder))
        result = hold.lock->tryAcquire();
    // Without a lock file the device is still used (a missing runtime folder must not lock the
    // user out of the device), and the open is counted like any other.
    if (result != LockResult::HeldElsewhere)
        ++hold.count;
    return result;
}

void DeviceLocks::release(std::uint16_t productId)
{
    const std::lock_guard guard(m_mutex);
    const auto found = m_holds.find(productId);
    if (found == m_holds.end() || found->second.count == 0)
        return;
    if (--found->second.count == 0)
        found->second.lock->release();
}

int DeviceLocks::holdCount(std::uint16_t productId) const
{
    const std::lock_guard guard(m_mutex);
    const auto found = m_holds.find(productId);
    return found == m_holds.end() ? 0 : found->second.count;
}

QString DeviceLocks::holderDescription(std::uint16_t productId) const
{
    return DeviceLock::readHolder(lockPath(productId));
}

// ---------------------------------------------------------------------------------------------
// LockingDeviceAccess

LockingDeviceAccess::LockingDeviceAccess(std::unique_ptr<DeviceAccess> inner, DeviceLocks &locks)
    : m_inner(std::move(inner))
    , m_locks(locks)
{}

LockingDeviceAccess::~LockingDeviceAccess()
{
    // Handles the program did not close still count against the locks; give them back so that
    // a process that goes on (tests, a program that replaces its layer) is not left holding them.
    for (auto &[handle, productId] : m_handleProducts) {
        HidHandle open = handle;
        m_inner->CloseHidDevice(open);
        m_locks.release(productId);
    }
}

HidStatus LockingDeviceAccess::OpenHidDevice(std::uint16_t productId, int requestLength,
                                             int replyLength, HidHandle &handle)
{
    if (m_locks.acquire(productId) == LockResult::HeldElsewhere)
        return hid::kInUse;
    const HidStatus status = m_inner->OpenHidDevice(productId, requestLength, replyLength, handle);
    if (status != hid::kSuccess) {
        m_locks.release(productId);
        return status;
    }
    m_handleProducts[handle] = productId;
    return status;
}

HidStatus LockingDeviceAccess::CloseHidDevice(HidHandle &handle)
{
    const auto found = m_handleProducts.find(handle);
    const HidStatus status = m_inner->CloseHidDevice(handle);
    if (found != m_handleProducts.end()) {
        m_locks.release(found->second);
        m_handleProducts.erase(found);
    }
    return status;
}

HidStatus LockingDeviceAccess::WriteHidDevice(HidHandle &handle, const HidReport &request,
                                              HidReport &reply)
{
    return m_inner->WriteHidDevice(handle, request, reply);
}

HidStatus LockingDeviceAccess::RestartHidDevice(const char *hardwareId)
{
    const std::optional<UsbId> id =
        hardwareId != nullptr ? parseHardwareId(hardwareId) : std::optional<UsbId>{};
    if (!id || id->vendorId != kVendorId)
        return m_inner->RestartHidDevice(hardwareId);
    if (m_locks.acquire(id->productId) == LockResult::HeldElsewhere)
        return hid::kInUse;
    const HidStatus status = m_inner->RestartHidDevice(hardwareId);
    m_locks.release(id->productId);
    return status;
}

std::vector<HidInterfaceInfo> LockingDeviceAccess::interfaces(std::uint16_t productId)
{
    return m_inner->interfaces(productId);
}

QString LockingDeviceAccess::holderOf(std::uint16_t productId) const
{
    return m_locks.holderDescription(productId);
}

QString emulatorLockFolder(const QString &socketPath)
{
    const QByteArray key = QFileInfo(socketPath).absoluteFilePath().toUtf8();
    const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    return defaultDeviceLockFolder() + QStringLiteral("/emulator-") +
           QString::fromLatin1(digest.left(16));
}

} // namespace orvex
