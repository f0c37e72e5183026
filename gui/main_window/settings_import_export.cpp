#include "gui/main_window/settings_import_export.h"

#include "core/config/file_contents.h"
#include "gui/dialogs/file_dialog.h"
#include "gui/dialogs/message_box.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

// Writes `bytes` as the whole file at `path`: a file there is replaced whole
// or not at all, and a device or FIFO there is refused, since saving would
// put a file in its place. False with *error saying why.
bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    if (!RegularFileOrNone(path, error))
        return false;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

void Warn(const QString& text)
{
    MessageBox(text, LoadString(Ids::MessageCaption), MessageIcon::Warning);
}

} // namespace

CSettingsImportExport::CSettingsImportExport(Window window) : m_window(std::move(window)) {}

void CSettingsImportExport::Export()
{
    // Taken before the dialog: a read that ends while it is open changes nothing here.
    const std::optional<CameraSettings> read = m_window.lastRead();
    if (!read) {
        MessageFromTable(Ids::PortNotReady);
        return;
    }
    const QByteArray json = QJsonDocument(SettingsToJson(*read)).toJson();
    const QString path = GetSaveFileName(u"camera.json"_s, LoadString(Ids::SettingsFileFilter));
    if (path.isEmpty())
        return;
    QString error;
    if (!WriteWholeFile(path, json, &error)) {
        Warn(LoadString(Ids::ExportFailed).arg(path, error));
        return;
    }
    m_window.say(LoadString(Ids::SettingsExported).arg(QFileInfo(path).fileName()));
}

void CSettingsImportExport::Import()
{
    const QString path = GetOpenFileName(QString(), LoadString(Ids::SettingsFileFilter));
    if (path.isEmpty())
        return;
    QStringList keys;
    QByteArray file;
    QString error;
    if (!ReadRegularFile(path, kSettingsFileMax, &file, &error) || !Show(file, &keys, &error)) {
        Warn(LoadString(Ids::ImportRefused).arg(path, error));
        return;
    }
    m_import = PendingImport{path, file, keys, std::nullopt};
}

bool CSettingsImportExport::Show(const QByteArray& file, QStringList* keys, QString* error)
{
    // With the checks and words of orvane-cli apply.
    CameraSettings settings = m_window.shown();
    if (!ReadSettingsFile(file, &settings, keys, error))
        return false;
    m_window.show(settings);
    m_window.say(LoadString(Ids::SettingsImported));
    return true;
}

void CSettingsImportExport::KeepImportShown()
{
    // A read (the port opened again, the image page chosen) fills the pages
    // with what the camera holds: the import stays what a save writes until
    // it is saved, unless it does not fit the camera now read.
    if (!m_import || m_import->written)
        return;
    QStringList keys;
    QString error;
    if (!Show(m_import->file, &keys, &error)) {
        const QString path = std::exchange(m_import, std::nullopt)->strPath;
        Warn(LoadString(Ids::ImportDropped).arg(path, error));
    }
}

void CSettingsImportExport::OnSaved(bool withLanguage)
{
    if (!m_import)
        return;
    // The image page's own save leaves the OSD language as it is.
    if (!withLanguage)
        m_import->keys.removeAll(u"osd_language"_s);
    m_import->written = SettingsToJson(m_window.shown());
}

void CSettingsImportExport::CheckReadBack()
{
    if (!m_import || !m_import->written)
        return;
    const std::optional<CameraSettings> read = m_window.lastRead();
    if (!read)
        return; // not read whole: the check waits for a read that is
    const PendingImport import = *std::exchange(m_import, std::nullopt);
    const QStringList differences = SettingsDifferences(*import.written, SettingsToJson(*read), import.keys);
    if (!differences.isEmpty())
        Warn(LoadString(Ids::ImportDiffers).arg(differences.join(u'\n')));
}
