#pragma once

#include <QString>

#include <cstddef>

// The names capture plug-ins declare, kept apart from the loader so that they are read and
// compared the same way everywhere (and tested without loading anything).

// PVR_NAME_MAX of the plug-in interface (the loader checks that they agree).
inline constexpr int kPluginNameMax = 255;

// A name a plug-in wrote into a buffer of `size` bytes: up to its NUL (or the buffer's end),
// UTF-8, its first 255 characters.
QString PluginName(const char* buffer, size_t size);

// What names are compared on: their first 255 characters.
QString PluginNameKey(const QString& name);
