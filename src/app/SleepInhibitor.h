#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QString>

// Keeps the machine awake while a recording is programmed or runs.
class ISleepInhibitor {
public:
    virtual ~ISleepInhibitor() = default;
    // Holds the lock for that reason (a new reason replaces the old lock).
    virtual void Hold(const QString& why) = 0;
    virtual void Release() = 0;
    virtual bool held() const = 0;
};

// systemd-logind's inhibitor lock ("sleep:idle", mode "block") over the system bus: the lock
// lasts as long as the descriptor logind hands out is open. Without a system bus or logind
// the program says so once in the log and goes on.
class TLogindInhibitor : public ISleepInhibitor {
public:
    explicit TLogindInhibitor(QDBusConnection bus = QDBusConnection::systemBus());
    void Hold(const QString& why) override;
    void Release() override;
    bool held() const override { return m_lock.isValid(); }

private:
    QDBusConnection m_bus;
    QDBusUnixFileDescriptor m_lock;
    QString m_why;
    bool m_warned = false;
};
