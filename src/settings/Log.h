#pragma once

#include <functional>

#include <QLoggingCategory>

// What the program skips silently is still said on stderr, in this category.
Q_DECLARE_LOGGING_CATEGORY(lcVidorra)

#include <QString>
#include <QStringList>

// What the user must be told once the window shows (a damaged settings file set aside,
// settings moved to a copy), kept by the layers below the window; reading takes them.
void addUserNotice(const QString& text);
QStringList takeUserNotices();
// Called (on the thread that adds it) for each notice added from now on; empty to stop.
void setUserNoticeListener(std::function<void()> listener);
