#pragma once

#include "core/access/DeviceAccess.h"

#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace orvex {

// Every open hidraw handle receives every reply the device sends, so two programs talking to one
// device at once would read each other's replies and corrupt both transfers.  Programs of ours
// therefore take an advisory lock per device before opening it: flock() on a file in the user's
// runtime folder, "<runtime>/orvex/device-6148.lock".  The lock lives on an open descriptor, so
// a holder that crashes releases it with its last descriptor; the file keeps the holder's PID
// and program name so that others can say who has the device.

enum class LockResult {
    Acquired,      // this process now holds the lock
    HeldElsewhere, // another process (or another open description) holds it
    Unavailable,   // no lock file could be made; the caller goes on without one
};

// The folder of the lock files: $XDG_RUNTIME_DIR/orvex, or a per-user folder in the temporary
// folder when the variable is not set.
QString defaultDeviceLockFolder();

// One hold on one lock file.  Not re-entrant: DeviceLocks counts the holds of a process.
class DeviceLock
{
public:
    explicit DeviceLock(QString path);
    ~DeviceLock();

    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

    // Never waits: a lock held elsewhere is reported at once.
    LockResult tryAcquire();
    void release();
    bool isHeld() const { return m_fd >= 0; }

    QString path() const { return m_path; }

    // "orvex-config (PID 1234)" from the file's content, or an empty string when the file names
    // no holder (it is missing, being rewritten, or not ours).
    static QString readHolder(const QString &path);

private:
    void recordHolder();

    QString m_path;
    int m_fd = -1;
};

// The device locks of one process, counted per product so that the process never blocks
// itself: the polling handle, a transfer's private handle and a presence test's handle may all
// be open at once, and the lock goes only when the last of them closes.
class DeviceLocks
{
public:
    explicit DeviceLocks(QString folder = defaultDeviceLockFolder());

    // The one instance per folder that a program shares, so that every device access layer of
    // the process counts against the same locks.
    static DeviceLocks &shared(const QString &folder = defaultDeviceLockFolder());

    LockResult acquire(std::uint16_t productId);
    void release(std::uint16_t productId);

    int holdCount(std::uint16_t productId) const;
    QString lockPath(std::uint16_t productId) const;

    // Who holds the device's lock: "orvex-config (PID 1234)", or an empty string.
    QString holderDescription(std::uint16_t productId) const;

private:
    struct Hold
    {
        std::unique_ptr<DeviceLock> lock;
        int count = 0;
    };

    QString m_folder;
    mutable std::mutex m_mutex;
    std::map<std::uint16_t, Hold> m_holds;
};

// Puts any device access layer behind the device locks: an open first takes the device's lock
// and, when another program holds it, fails with hid::kInUse without talking to the device.
class LockingDeviceAccess : public DeviceAccess
{
public:
    explicit LockingDeviceAccess(std::unique_ptr<DeviceAccess> inner,
                                 DeviceLocks &locks = DeviceLocks::shared());
    ~LockingDeviceAccess() override;

    HidStatus OpenHidDevice(std::uint16_t productId, int requestLength, int replyLength,
                            HidHandle &handle) override;
    HidStatus CloseHidDevice(HidHandle &handle) override;
    HidStatus WriteHidDevice(HidHandle &handle, const HidReport &request,
                             HidReport &reply) override;

    // A restart re-enumerates the device and ends every handle on it, so it is not done to a
    // device another program is using: that program's transfer would break off.
    HidStatus RestartHidDevice(const char *hardwareId) override;

    std::vector<HidInterfaceInfo> interfaces(std::uint16_t productId) override;

    // "orvex-config (PID 1234)" when another program holds the device, else an empty string.
    QString holderOf(std::uint16_t productId) const override;

    DeviceAccess &inner() { return *m_inner; }

private:
    std::unique_ptr<DeviceAccess> m_inner;
    DeviceLocks &m_locks;
    std::map<HidHandle, std::uint16_t> m_handleProducts;
};

// The lock folder of the virtual devices of one emulator: the emulator's devices are its own,
// so programs on different emulators (parallel tests) never exclude each other.
QString emulatorLockFolder(const QString &socketPath);

} // namespace orvex
