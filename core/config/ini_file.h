#pragma once

#include <QString>

// Reads initialisation files the way the camera tool always has: section and
// key names ignore case, the first matching section and key win, a missing
// file, section or key gives the default, and the file is never written.

// The key's value as an integer taken from its leading digits (optional sign);
// a value without leading digits is 0.
int ReadIniInt(const QString& path, const QString& section, const QString& key, int nDefault);

// The key's value (surrounding quotes removed), cut to nSize - 1 characters
// like a caller's buffer of nSize characters would.
QString ReadIniString(const QString& path, const QString& section, const QString& key,
                      const QString& strDefault, int nSize);
