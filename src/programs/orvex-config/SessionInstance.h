#pragma once

#include "core/backends/DeviceAccessFactory.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

namespace orvex {

class ApplicationInterface;

// One window per set of devices in a desktop session.  The first start of orvex-config on the
// session bus takes the bus name of its devices (the one the desktop file's DBusActivatable
// entry names, for the real devices) and offers org.freedesktop.Application under it; a later
// start on the same devices hands its file to that one and ends.  Starts on other devices, and
// each --simulate run, are instances of their own; without a session bus every start is.
class SessionInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Alone,      // no session bus, devices of its own, or a bus that refuses it the name
        First,      // holds the name: runs, and takes the requests of later starts
        HandedOver, // the running instance took this start's request: this one ends
        Failed,     // the running instance did not take it (error() says why)
    };

    explicit SessionInstance(const DeviceOptions &devices, QObject *parent = nullptr);
    ~SessionInstance() override;

    SessionInstance(const SessionInstance &) = delete;
    SessionInstance &operator=(const SessionInstance &) = delete;

    // The name the desktop knows the program by: its desktop file, its AppStream id, and its
    // bus name on the real devices.
    static QString applicationId();

    // The bus name of the instance on these devices; empty for devices of its own.
    static QString busName(const DeviceOptions &devices);
    static QString objectPath();

    // Takes the name, or hands `file` (an absolute path; empty: just come to the front) to the
    // instance that holds it.
    Role claimOrHandOver(const QString &file);
    QString error() const { return m_error; }

    // Requests wait until the window is there; the ones that came during start-up are
    // delivered now, in order, the later ones as they come.
    void startDelivering();

    // Lets the name go, so that a start from now on does not hand its file to a program that
    // is ending.
    void release();

Q_SIGNALS:
    void activationRequested();
    void fileHandedOver(const QString &path);

private:
    friend class ApplicationInterface;
    void request(const QStringList &paths); // empty: activation only
    QDBusError::ErrorType handOver(const QString &file);

    QString m_busName;
    QDBusConnection m_bus;
    std::unique_ptr<ApplicationInterface> m_interface;
    bool m_claimed = false;
    bool m_delivering = false;
    QList<QStringList> m_waiting;
    QString m_error;
};

} // namespace orvex
