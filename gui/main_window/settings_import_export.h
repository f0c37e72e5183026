#pragma once

#include "core/settings/settings_file.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The window's settings files, in the command line's format: the export of
// what the last good read showed, the import of a file onto the two pages
// (nothing is sent), and the import's read-back check once it is saved: the
// settings the camera did not take are named. The window shows the pages.
class CSettingsImportExport final {
public:
    struct Window {
        // What the last whole read showed; none before one.
        std::function<std::optional<CameraSettings>()> lastRead;
        // What the two pages show now, typed values included.
        std::function<CameraSettings()> shown;
        // Onto the two pages.
        std::function<void(const CameraSettings&)> show;
        // A short word that something went well (the status label).
        std::function<void(const QString&)> say;
        // A line of the time-stamped log (one entry each): what an import changes.
        std::function<void(const QString&)> log;
        // The save button's work (the pages written, an import read back),
        // once what is going out has gone.
        std::function<void()> save;
    };

    explicit CSettingsImportExport(Window window);

    void Export();
    void Import();
    // A settings file onto the pages as Import lays one, what it changes
    // listed in the log first; false, and a box saying why, when refused.
    bool ImportFile(const QString& path);
    // One of the records kept of `port`'s settings, chosen from a list, onto
    // the pages as an import: nothing is sent until it is saved.
    void Restore(const QString& port);
    // A recovery that began at `began` is verified: the newest record of
    // `port` kept before it is offered, and saved when taken.
    void OfferRestoreAfterRecovery(const QString& port, const QDateTime& began);
    // An import not yet saved, or saved and not yet read back: a save is read back.
    bool ImportWaiting() const { return m_import.has_value(); }
    // After a read: an import not yet saved is shown again over the camera's
    // settings, or dropped with a box when it no longer fits them.
    void KeepImportShown();
    // A save went out (the OSD language too, or the image page's alone):
    // what it wrote is what an import's read-back must find.
    void OnSaved(bool withLanguage);
    // After a read: names the imported settings that read back otherwise.
    void CheckReadBack();

private:
    // A file laid over what the pages show; none, and *error, when it does not fit.
    std::optional<CameraSettings> Laid(const QByteArray& file, QStringList* keys, QString* error) const;
    void Show(const CameraSettings& settings);
    // What saving `settings` would change on the camera, old → new, in the log.
    void LogChanges(const QString& path, const CameraSettings& settings);

    // An import not yet saved (no `written`), or saved and waiting for its read-back.
    struct PendingImport {
        QString strPath;
        QByteArray file;
        QStringList keys; // the settings the file named
        std::optional<QJsonObject> written;
    };
    Window m_window;
    std::optional<PendingImport> m_import;
};
