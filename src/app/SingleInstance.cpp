#include "SingleInstance.h"

#include "Log.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QFile>
#include <QThread>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The running program answers from a thread of its own: a reply takes milliseconds unless
// the program hangs.
constexpr int kHandOverTimeoutMs = 15000;

const char kHandOverConnection[] = "vidorra-handover";

bool sessionBusAddressSet() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

// The object the bus calls, on the service's thread.
class InstanceEndpoint : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.ardoval.Vidorra")
public:
    std::function<void(const QStringList&)> forward;

public slots:
    // The switches and tokens of a later start, as its process received them.
    Q_SCRIPTABLE void CommandLine(const QStringList& arguments) { forward(arguments); }
};

} // namespace

namespace SingleInstance {

QString unixSocketAddress(const QString& path) {
    QString address = QStringLiteral("unix:path=");
    for (const char c : QFile::encodeName(path)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '/' || c == '.' ||
                           c == '\\' || c == '*';
        if (plain)
            address += QLatin1Char(c);
        else
            address += QStringLiteral("%%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    }
    return address;
}

bool findSessionBus() {
    if (sessionBusAddressSet())
        return true;
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        runtime = QStringLiteral("/run/user/%1").arg(::getuid());
    const QString socket = runtime + QStringLiteral("/bus");
    struct stat info {};
    if (::stat(QFile::encodeName(socket).constData(), &info) != 0 || !S_ISSOCK(info.st_mode) ||
        info.st_uid != ::getuid())
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", unixSocketAddress(socket).toUtf8());
    return true;
}

HandOver handOver(const QStringList& arguments, QString* error) {
    // No address, no bus: the library would otherwise launch a bus of its own.
    if (!sessionBusAddressSet())
        return HandOver::NoProgram;
    const QString connectionName = QLatin1String(kHandOverConnection);
    HandOver result = HandOver::NoProgram;
    {
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                QStringLiteral("CommandLine"));
            call.setAutoStartService(false);
            call << arguments;
            const QDBusMessage reply = bus.call(call, QDBus::Block, kHandOverTimeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage) {
                result = HandOver::Done;
            } else if (bus.interface()->isServiceRegistered(QLatin1String(kService)).value()) {
                // The owner is there but did not answer: a second program would fight it
                // for the devices.
                result = HandOver::Failed;
                if (error)
                    *error = reply.errorMessage();
            }
        }
    }
    QDBusConnection::disconnectFromBus(connectionName);
    return result;
}

} // namespace SingleInstance

TInstanceService::TInstanceService(QObject* parent) : QObject(parent) {}

TInstanceService::~TInstanceService() {
    unregister();
}

TInstanceService::Registration TInstanceService::registerOnSessionBus() {
    if (m_thread)
        return Registration::Registered;
    if (!sessionBusAddressSet())
        return Registration::NoBus;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return Registration::NoBus;

    auto* endpoint = new InstanceEndpoint;
    endpoint->forward = [this](const QStringList& arguments) {
        QMetaObject::invokeMethod(
            this, [this, arguments] { deliver(arguments); }, Qt::QueuedConnection);
    };
    auto thread = std::make_unique<QThread>();
    thread->setObjectName(QStringLiteral("vidorra-instance"));
    endpoint->moveToThread(thread.get());
    thread->start();
    // The object first: whoever sees the name finds it.
    const QString path = QLatin1String(SingleInstance::kPath);
    if (!bus.registerObject(path, endpoint, QDBusConnection::ExportScriptableSlots) ||
        !bus.registerService(QLatin1String(SingleInstance::kService))) {
        bus.unregisterObject(path);
        thread->quit();
        thread->wait();
        delete endpoint;
        qCInfo(lcVidorra) << "another program owns" << SingleInstance::kService;
        return Registration::NameTaken;
    }
    m_thread = std::move(thread);
    m_endpoint = endpoint;
    return Registration::Registered;
}

void TInstanceService::unregister() {
    if (!m_thread)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QLatin1String(SingleInstance::kService));
    bus.unregisterObject(QLatin1String(SingleInstance::kPath));
    m_thread->quit();
    m_thread->wait();
    delete m_endpoint;
    m_endpoint = nullptr;
    m_thread.reset();
}

void TInstanceService::setReceiver(std::function<void(const QStringList&)> receiver) {
    m_receiver = std::move(receiver);
    while (m_receiver && !m_pending.isEmpty())
        m_receiver(m_pending.takeFirst());
}

void TInstanceService::deliver(const QStringList& arguments) {
    if (m_receiver)
        m_receiver(arguments);
    else
        m_pending.append(arguments);
}

#include "SingleInstance.moc"
