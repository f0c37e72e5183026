#pragma once

#include <QString>
#include <functional>

// Every file-open dialog of the program goes through GetOpenFileName(). The
// GUI installs the real dialog; tests install their answer. An empty result
// means the user cancelled.
using OpenFileHandler = std::function<QString(const QString& initialName, const QString& filter)>;

QString GetOpenFileName(const QString& initialName, const QString& filter);

// Replaces the handler and returns the previous one. Without a handler every
// dialog counts as cancelled (and says so on standard error).
OpenFileHandler SetOpenFileHandler(OpenFileHandler handler);

// The same for every file-save dialog.
QString GetSaveFileName(const QString& initialName, const QString& filter);
OpenFileHandler SetSaveFileHandler(OpenFileHandler handler);

// The same for a file that is appended to: an existing one is no reason to ask.
QString GetAppendFileName(const QString& initialName, const QString& filter);
OpenFileHandler SetAppendFileHandler(OpenFileHandler handler);
