// A stand-in for systemd-logind on a private bus: owns org.freedesktop.login1, answers
// Manager.Inhibit with the write end of a pipe and prints each call, and prints "released"
// when the caller closes the descriptor it was given.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

class Manager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        std::printf("Inhibit|%s|%s|%s|%s\n", qPrintable(what), qPrintable(who), qPrintable(why),
                    qPrintable(mode));
        std::fflush(stdout);
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        // The read end sees the end of the file once every copy of the write end is closed.
        auto* watch = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(watch, &QSocketNotifier::activated, this, [watch, fd = ends[0]] {
            char byte;
            if (::read(fd, &byte, 1) <= 0) {
                std::printf("released\n");
                std::fflush(stdout);
                watch->setEnabled(false);
                ::close(fd);
            }
        });
        QDBusUnixFileDescriptor handed(ends[1]); // a duplicate goes to the caller
        ::close(ends[1]);
        return handed;
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(argv[1]), "logind");
    Manager manager;
    if (!bus.registerObject("/org/freedesktop/login1", &manager, QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.freedesktop.login1"))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "FakeLogind.moc"
