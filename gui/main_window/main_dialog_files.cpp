// The main window's context menu beyond the about box: settings files in
// the command line's format, and the trace of the line.
#include "core/config/file_contents.h"
#include "core/settings/settings_file.h"
#include "gui/dialogs/file_dialog.h"
#include "gui/dialogs/message_box.h"
#include "gui/main_window/main_dialog.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "serial/line_trace.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QPointer>
#include <QSaveFile>

using namespace Qt::StringLiterals;

CameraSettings CMyCorvixDlg::ShownSettings() const
{
    return {m_dlgPara.ShownSettings(), m_dlgOSD.ShownLanguage()};
}

void CMyCorvixDlg::OnExportSettings()
{
    if (!m_bReadKept) {
        MessageFromTable(Ids::PortNotReady);
        return;
    }
    // Taken before the dialog: a read that ends while it is open changes nothing here.
    const QByteArray json = QJsonDocument(SettingsToJson(SettingsOfRegisters(m_session.Registers().data()))).toJson();
    const QString path = GetSaveFileName(u"camera.json"_s, LoadString(Ids::SettingsFileFilter));
    if (path.isEmpty())
        return;
    // A device or FIFO there is refused: saving would put a file in its place.
    QString notRegular;
    if (!RegularFileOrNone(path, &notRegular)) {
        MessageBox(LoadString(Ids::ExportFailed).arg(path, notRegular), LoadString(Ids::MessageCaption));
        return;
    }
    QSaveFile file(path); // a file there is replaced whole or not at all
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        MessageBox(LoadString(Ids::ExportFailed).arg(path, file.errorString()), LoadString(Ids::MessageCaption));
}

void CMyCorvixDlg::OnImportSettings()
{
    const QString path = GetOpenFileName(QString(), LoadString(Ids::SettingsFileFilter));
    if (path.isEmpty())
        return;
    QStringList keys;
    QByteArray file;
    QString error;
    if (!ReadRegularFile(path, kSettingsFileMax, &file, &error) || !ShowImported(file, &keys, &error)) {
        MessageBox(LoadString(Ids::ImportRefused).arg(path, error), LoadString(Ids::MessageCaption));
        return;
    }
    m_importCheck = ImportCheck{path, file, keys, std::nullopt};
}

bool CMyCorvixDlg::ShowImported(const QByteArray& file, QStringList* keys, QString* error)
{
    // With the checks and words of orvane-cli apply.
    CameraSettings settings = ShownSettings();
    if (!ReadSettingsFile(file, &settings, keys, error))
        return false;
    m_dlgPara.ShowSettings(settings.image);
    m_dlgOSD.ShowLanguage(settings.nOsdLanguage);
    ShowTransientLabel(LoadString(Ids::SettingsImported));
    return true;
}

void CMyCorvixDlg::KeepImportShown()
{
    // A read (the port opened again, the image page chosen) fills the pages
    // with what the camera holds: the import stays what a save writes until
    // it is saved, unless it does not fit the camera now read.
    if (!m_importCheck || m_importCheck->written)
        return;
    QStringList keys;
    QString error;
    if (!ShowImported(m_importCheck->file, &keys, &error)) {
        const QString path = std::exchange(m_importCheck, std::nullopt)->strPath;
        MessageBox(LoadString(Ids::ImportDropped).arg(path, error), LoadString(Ids::MessageCaption));
    }
}

void CMyCorvixDlg::OnSettingsSaved(bool withLanguage)
{
    if (!m_importCheck)
        return;
    // The image page's own save leaves the OSD language as it is.
    if (!withLanguage)
        m_importCheck->keys.removeAll(u"osd_language"_s);
    m_importCheck->written = SettingsToJson(ShownSettings());
}

void CMyCorvixDlg::CheckImportReadBack()
{
    if (!m_importCheck || !m_importCheck->written)
        return;
    const ImportCheck check = *std::exchange(m_importCheck, std::nullopt);
    const QStringList differences = SettingsDifferences(
        *check.written, SettingsToJson(SettingsOfRegisters(m_session.Registers().data())), check.keys);
    if (!differences.isEmpty())
        MessageBox(LoadString(Ids::ImportDiffers).arg(differences.join(u'\n')), LoadString(Ids::MessageCaption));
}

void CMyCorvixDlg::OnTraceLine()
{
    if (m_trace) {
        Port().SetTrace(nullptr);
        m_trace.reset();
        SetStatusToolTip(m_strStatusTip);
        return;
    }
    const QString path = GetAppendFileName(u"orvane-line.log"_s, LoadString(Ids::TraceFileFilter));
    if (path.isEmpty())
        return;
    // A failure is told on the trace's thread: it reaches the window through
    // the application, which outlives it, and only while the window lives.
    const auto window = std::make_shared<QPointer<CMyCorvixDlg>>(this);
    const quint64 run = ++m_nTraceRun;
    QString error;
    m_trace = CLineTrace::Open(
        path,
        [window, run, path](const QString& why) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [window, run, path, why] {
                    if (CMyCorvixDlg* dialog = *window)
                        dialog->OnTraceFailed(run, path, why);
                },
                Qt::QueuedConnection);
        },
        &error);
    if (!m_trace) {
        MessageBox(LoadString(Ids::TraceFailed).arg(path, error), LoadString(Ids::MessageCaption));
        return;
    }
    Port().SetTrace(m_trace);
    SetStatusToolTip(m_strStatusTip);
}

void CMyCorvixDlg::OnTraceFailed(quint64 run, const QString& path, const QString& why)
{
    if (run != m_nTraceRun || !m_trace)
        return; // that trace was stopped already
    Port().SetTrace(nullptr);
    m_trace.reset();
    SetStatusToolTip(m_strStatusTip);
    MessageBox(LoadString(Ids::TraceFailed).arg(path, why), LoadString(Ids::MessageCaption));
}
