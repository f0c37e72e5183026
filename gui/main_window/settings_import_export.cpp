#include "gui/main_window/settings_import_export.h"

#include "core/config/file_contents.h"
#include "core/settings/settings_backups.h"
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
    if (!path.isEmpty())
        ImportFile(path);
}

bool CSettingsImportExport::ImportFile(const QString& path)
{
    QStringList keys;
    QByteArray file;
    QString error;
    std::optional<CameraSettings> settings;
    if (!ReadRegularFile(path, kSettingsFileMax, &file, &error) || !(settings = Laid(file, &keys, &error))) {
        Warn(LoadString(Ids::ImportRefused).arg(path, error));
        return false;
    }
    LogChanges(path, *settings);
    Show(*settings);
    m_import = PendingImport{path, file, keys, std::nullopt};
    return true;
}

void CSettingsImportExport::Restore(const QString& port)
{
    QStringList skipped;
    const std::vector<BackupRecord> records = ListBackups(BackupsFolder(), port, &skipped);
    if (!skipped.isEmpty())
        m_window.log(LoadString(Ids::BackupsSkipped).arg(skipped.size()));
    for (const QString& why : skipped)
        m_window.log(u"  "_s + why);
    if (records.empty()) {
        MessageBox(LoadString(Ids::NoBackups).arg(port, BackupsFolder()), LoadString(Ids::MessageCaption));
        return;
    }
    QStringList items;
    for (const BackupRecord& record : records) {
        items.append(LoadString(Ids::BackupItem)
                         .arg(record.note.time.toString(u"yyyy-MM-dd HH:mm:ss"_s), record.note.strWhat,
                              LoadString(record.note.bAfter ? Ids::BackupAfter : Ids::BackupBefore),
                              record.strSoftware, record.strHardware));
    }
    const std::optional<int> chosen =
        AskChoice(LoadString(Ids::RestorePrompt).arg(port), LoadString(Ids::MessageCaption), items);
    if (chosen && *chosen >= 0 && *chosen < static_cast<int>(records.size()))
        ImportFile(records[static_cast<std::size_t>(*chosen)].strPath);
}

void CSettingsImportExport::OfferRestoreAfterRecovery(const QString& port, const QDateTime& began)
{
    const std::optional<BackupRecord> record = RecordToRestore(ListBackups(BackupsFolder(), port, nullptr), began);
    if (!record) {
        MessageBox(LoadString(Ids::NoRecordToRestore).arg(port), LoadString(Ids::MessageCaption));
        return;
    }
    const QString when = record->note.time.toString(u"yyyy-MM-dd HH:mm:ss"_s);
    const QString what = u"%1, %2"_s.arg(record->note.strWhat, LoadString(record->note.bAfter ? Ids::BackupAfter
                                                                                              : Ids::BackupBefore));
    if (AskYesNo(LoadString(Ids::AskRestoreAfterRecovery).arg(when, what), LoadString(Ids::MessageCaption))
        && ImportFile(record->strPath))
        m_window.save(); // read back and compared, as the save of any import is
}

std::optional<CameraSettings> CSettingsImportExport::Laid(const QByteArray& file, QStringList* keys,
                                                          QString* error) const
{
    // With the checks and words of orvane-cli apply.
    CameraSettings settings = m_window.shown();
    if (!ReadSettingsFile(file, &settings, keys, error))
        return std::nullopt;
    return settings;
}

void CSettingsImportExport::Show(const CameraSettings& settings)
{
    m_window.show(settings);
    m_window.say(LoadString(Ids::SettingsImported));
}

void CSettingsImportExport::LogChanges(const QString& path, const CameraSettings& settings)
{
    // Against what the camera holds: a value typed on a page and not yet
    // saved is a change too, since the save writes it.
    const std::optional<CameraSettings> camera = m_window.lastRead();
    const std::vector<SettingChange> changes = SettingChanges(SettingsToJson(camera ? *camera : m_window.shown()),
                                                              SettingsToJson(settings), SettingKeys());
    const QString name = QFileInfo(path).fileName();
    if (changes.empty()) {
        m_window.log(LoadString(Ids::ImportNoChange).arg(name));
        return;
    }
    m_window.log(LoadString(Ids::ImportChanges).arg(name));
    for (const SettingChange& change : changes)
        m_window.log(u"  %1: %2 → %3"_s.arg(change.strKey, SettingValueText(change.from), SettingValueText(change.to)));
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
    if (const std::optional<CameraSettings> settings = Laid(m_import->file, &keys, &error)) {
        Show(*settings);
        return;
    }
    const QString path = std::exchange(m_import, std::nullopt)->strPath;
    Warn(LoadString(Ids::ImportDropped).arg(path, error));
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
    else
        m_window.log(LoadString(Ids::ImportReadBack).arg(QFileInfo(import.strPath).fileName()));
}
