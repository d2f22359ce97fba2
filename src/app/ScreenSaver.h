#pragma once

#include <QtGlobal>

// Keeps the screen saver away while the program runs (org.freedesktop.ScreenSaver).
// Where no such service answers, nothing happens.
class ScreenSaverInhibitor {
public:
    ScreenSaverInhibitor() = default;
    ~ScreenSaverInhibitor();
    ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
    ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;

    // Switches the screen saver off; returns whether it was active (a service answered).
    bool inhibit();
    void release();
    bool active() const { return m_cookie != 0; }

private:
    quint32 m_cookie = 0;
};
