#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QThread;

// One program per session. The first start owns a name on the session bus; a later start
// hands its command line to it over the bus and ends, so that "vidorra /c" from a terminal,
// a desktop shortcut or cron makes the open program record.
namespace SingleInstance {

inline constexpr char kService[] = "com.ardoval.Vidorra";
inline constexpr char kPath[] = "/com/ardoval/Vidorra";
inline constexpr char kInterface[] = "com.ardoval.Vidorra";

// Without DBUS_SESSION_BUS_ADDRESS (cron, a service), the user's session bus is the socket
// "bus" of the runtime folder: $XDG_RUNTIME_DIR, else /run/user/<uid>. Sets the variable
// when that socket exists and belongs to the user; returns whether an address is set.
bool findSessionBus();

// The address of the socket, escaped as D-Bus addresses want.
QString unixSocketAddress(const QString& path);

enum class HandOver {
    Done,      // the running program has the command line
    NoProgram, // no bus, or nobody owns the name: this start is the program
    Failed,    // a program owns the name but did not take the command line
};

// Gives the command line to the program that owns the name. Needs no application object,
// so that it runs before anything else starts (no display, no GStreamer).
HandOver handOver(const QStringList& arguments, QString* error = nullptr);

} // namespace SingleInstance

// The running program's side: owns the name and receives the command lines of later
// starts. The bus calls are answered on a thread of their own, so that a later start ends
// at once even while this program is busy starting up; the lines reach the receiver on
// this object's thread, in the order received, and wait for it while none is set.
class TInstanceService : public QObject {
    Q_OBJECT
public:
    enum class Registration { Registered, NameTaken, NoBus };

    explicit TInstanceService(QObject* parent = nullptr);
    ~TInstanceService() override;

    Registration registerOnSessionBus();
    // Gives the name up (the window closed): a later start is a program of its own.
    void unregister();
    void setReceiver(std::function<void(const QStringList&)> receiver);

private:
    void deliver(const QStringList& arguments);

    std::unique_ptr<QThread> m_thread;
    QObject* m_endpoint = nullptr; // lives on m_thread
    bool m_registered = false;
    std::function<void(const QStringList&)> m_receiver;
    QList<QStringList> m_pending; // received before the receiver was set
};
