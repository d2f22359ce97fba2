#pragma once

#include <QLoggingCategory>

// What the program skips silently is still said on stderr, in this category.
Q_DECLARE_LOGGING_CATEGORY(lcVidorra)
