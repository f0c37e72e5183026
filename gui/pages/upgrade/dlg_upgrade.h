#pragma once

#include "gui/pages/upgrade/upgrade_log.h"
#include "core/firmware/package_reader.h"
#include "core/firmware/version_check.h"
#include "session/upgrade_run.h"
#include "gui/widgets/template_page.h"

#include <QDateTime>
#include <QStringList>
#include <optional>

class CPageHost;

// The upgrade page (template 145): the upgrade package, the progress bar and
// the time-stamped log.
class CDlgUpdate final : public CTemplatePage {
    Q_OBJECT
public:
    // How long a recovery asks for the camera's boot window.
    static constexpr int kRecoverWaitMs = 60000;
    explicit CDlgUpdate(CPageHost& host, QWidget* parent = nullptr);

    // Adds one line to the log, behind the local time as "hh:mm:ss  ".
    // The text carries its own line end. Beyond 20 000 characters the log
    // starts afresh. Every line is kept in the user's upgrade log file too.
    void AppendLog(const QString& text) { m_log.Append(text); }
    // Where the log is kept: UpgradeLogPath() unless a test says otherwise.
    void KeepLogIn(const QString& path) { m_log.KeepIn(path); }
    // The log's text into a file of the user's choice (its context menu).
    void OnSaveLog() { m_log.Save(); }

    // Handlers, by control.
    void OnBrowse();  // 1054: choose a package, show its length and checksum
    void OnUpgrade(); // 1058: check the package whole and start the session's upgrade run with it
    void OnClear() { m_log.Clear(); } // 1063: empty the log
    void OnRestart(); // 1073: restart the camera

    void SetProgress(int percent); // 0..100
    // The page's buttons: upgrade and browse, and with them restart if asked.
    void EnableButtons(bool enable, bool includingRestart = true);
    // Upgrade and restart act only on an open port: greyed, and saying so, while it is closed.
    void ShowPortOpen(bool open);

    // Ends the run under way without a byte more (the port closed under
    // it), after logging why; the page may start another.
    void LeaveUpgrade(const QString& logLine, bool restartUsable = true);
    ~CDlgUpdate() override;

private:
    // The package read and checked whole, its notes logged; nullopt after
    // saying why.
    std::optional<PackageContents> CheckedPackage();
    // Starts the run with its own folder for the images; false after saying why.
    bool StartRun(std::vector<PackageEntry> entries);
    // The run is over: its folder of images goes.
    void EndRun();
    // What the run tells, in the log and boxes.
    CUpgradeRun::Events RunEvents();
    void OnImageExamined(const RunImage& image);
    // The kept log's entry for an image, with the versions it replaces.
    void KeepImageEntry(const RunImage& image, const FirmwareVersions& replaced);
    // The versions the camera reports now, and whether the package's images name them.
    QString LogVersions(const FirmwareVersions& camera); // the mismatches, or empty when they match
    void OnImageTriggered(const RunImage& image);
    void OnRunFinished(const CUpgradeRun::Result& result);
    FirmwareVersions CameraVersions() const;


    CPageHost& m_host;
    QString m_strPackagePath;
    QString m_strRunDir; // this run's images; empty between runs
    FirmwareVersions m_packageVersions;  // of the package being sent
    bool m_bRecovering = false;         // the run under way recovers a camera that answered no read
    QDateTime m_recoveryBegan;          // when it began: the settings kept before then may be restored
    // Whether upgrade and restart may be used, apart from the port being open.
    bool m_bUpgradeUsable = true;
    bool m_bRestartUsable = true;
    bool m_bPortOpen = false;
    void ApplyButtons();
    CUpgradeLog m_log;
};
