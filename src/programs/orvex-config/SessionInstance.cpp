#include "programs/orvex-config/SessionInstance.h"

#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QUrl>
#include <utility>

namespace orvex {

namespace {

const QString kApplicationService = QStringLiteral("com.orvex.Config");
const QString kApplicationPath = QStringLiteral("/com/orvex/Config");
const QString kApplicationInterface = QStringLiteral("org.freedesktop.Application");

// How long a later start waits for the running one to take its request.  The running one
// answers from its event loop, which a transfer or a message box keeps turning.
constexpr int kHandOverTimeoutMs = 10000;

// A name may be let go between a failed claim and the call (the running instance is ending);
// the next claim then takes it.
constexpr int kClaimAttempts = 3;

} // namespace

// org.freedesktop.Application, as desktop launchers and file managers call it on a program whose
// desktop file says DBusActivatable=true, and as a later start of this program calls it.
//
// The platform data (a launcher's activation token or startup id) is not used: Qt 6.4 offers no
// way to hand a token to a window that is already shown, so the window asks to come to the front
// itself, which desktops that prevent focus stealing may show as a request for attention.
class ApplicationInterface : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationInterface(SessionInstance &instance)
        : m_instance(instance)
    {}

public Q_SLOTS:
    void Activate(const QVariantMap &platformData)
    {
        Q_UNUSED(platformData);
        m_instance.request({});
    }

    void Open(const QStringList &uris, const QVariantMap &platformData)
    {
        Q_UNUSED(platformData);
        QStringList paths;
        for (const QString &uri : uris) {
            const QUrl url(uri);
            if (!url.isLocalFile()) {
                sendErrorReply(QDBusError::InvalidArgs,
                               QStringLiteral("Only local files can be opened: %1").arg(uri));
                return;
            }
            paths << url.toLocalFile();
        }
        // One configuration is open at a time: of several files, the first is opened.
        m_instance.request(paths.mid(0, 1));
    }

    void ActivateAction(const QString &action, const QVariantList &parameter,
                        const QVariantMap &platformData)
    {
        Q_UNUSED(parameter);
        Q_UNUSED(platformData);
        sendErrorReply(QDBusError::NotSupported,
                       QStringLiteral("orvex-config has no action \"%1\"").arg(action));
    }

private:
    SessionInstance &m_instance;
};

SessionInstance::SessionInstance(const DeviceOptions &devices, QObject *parent)
    : QObject(parent)
    , m_busName(busName(devices))
    , m_bus(QDBusConnection::sessionBus())
{}

SessionInstance::~SessionInstance()
{
    release();
}

QString SessionInstance::applicationId()
{
    return kApplicationService;
}

QString SessionInstance::busName(const DeviceOptions &devices)
{
    const std::optional<QString> key = sharedDevicesKey(devices);
    if (!key)
        return {};
    if (*key == QLatin1String("usb"))
        return kApplicationService;
    // "emulator-0123abcd..." becomes the element "Emulator_0123abcd...": bus name elements
    // take letters, digits, "_" and "-", and do not start with a digit.
    QString element = *key;
    element[0] = element[0].toUpper();
    element.replace(QLatin1Char('-'), QLatin1Char('_'));
    return kApplicationService + QLatin1Char('.') + element;
}

QString SessionInstance::objectPath()
{
    return kApplicationPath;
}

SessionInstance::Role SessionInstance::claimOrHandOver(const QString &file)
{
    if (m_busName.isEmpty() || !m_bus.isConnected())
        return Role::Alone;
    m_interface = std::make_unique<ApplicationInterface>(*this);
    if (!m_bus.registerObject(kApplicationPath, m_interface.get(),
                              QDBusConnection::ExportAllSlots)) {
        m_interface.reset();
        return Role::Alone;
    }
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        if (m_bus.registerService(m_busName)) {
            m_claimed = true;
            return Role::First;
        }
        const QDBusError::ErrorType answer = handOver(file);
        if (answer == QDBusError::NoError)
            return Role::HandedOver;
        if (answer != QDBusError::ServiceUnknown)
            return Role::Failed;
    }
    // Nobody holds the name, yet the bus does not let this start have it: it runs on its own.
    release();
    return Role::Alone;
}

QDBusError::ErrorType SessionInstance::handOver(const QString &file)
{
    QDBusMessage call;
    if (file.isEmpty()) {
        call = QDBusMessage::createMethodCall(m_busName, kApplicationPath, kApplicationInterface,
                                              QStringLiteral("Activate"));
        call << QVariantMap();
    } else {
        call = QDBusMessage::createMethodCall(m_busName, kApplicationPath, kApplicationInterface,
                                              QStringLiteral("Open"));
        call << QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)}
             << QVariantMap();
    }
    // A name nobody holds is this start's to take: the bus must not start another instance.
    call.setAutoStartService(false);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kHandOverTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return QDBusError::NoError;
    m_error = QStringLiteral("the running orvex-config did not take the request: %1")
                  .arg(reply.errorMessage());
    return QDBusError(reply).type();
}

void SessionInstance::request(const QStringList &paths)
{
    if (!m_delivering) {
        m_waiting << paths;
        return;
    }
    Q_EMIT activationRequested();
    for (const QString &path : paths)
        Q_EMIT fileHandedOver(path);
}

void SessionInstance::startDelivering()
{
    m_delivering = true;
    const QList<QStringList> waiting = std::exchange(m_waiting, {});
    for (const QStringList &paths : waiting)
        request(paths);
}

void SessionInstance::release()
{
    if (m_claimed) {
        m_bus.unregisterService(m_busName);
        m_claimed = false;
    }
    if (m_interface) {
        m_bus.unregisterObject(kApplicationPath);
        m_interface.reset();
    }
}

} // namespace orvex

#include "SessionInstance.moc"
