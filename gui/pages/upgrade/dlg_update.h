#pragma once

#include "config/kept_log.h"
#include "firmware/version_check.h"
#include "widgets/template_page.h"

class CPageHost;

#include <QStringList>

// The upgrade page (template 145): the upgrade package, the progress bar and
// the time-stamped log.
class CDlgUpdate final : public CTemplatePage {
    Q_OBJECT
public:
    // What ExtractPackage found.
    static constexpr int kExtracted = 0;
    static constexpr int kInvalidPackage = -1; // box 140 "无效的升级文件！"
    static constexpr int kCannotUnpack = -2;   // a disk or permission problem, already logged as what it is

    explicit CDlgUpdate(CPageHost& host, QWidget* parent = nullptr);

    // Adds one line to the log, behind the local time as "hh:mm:ss  ".
    // The text carries its own line end. Beyond 20 000 characters the log
    // starts afresh. Every line is kept in the user's upgrade log file too.
    void AppendLog(const QString& text);
    // Where the log is kept: UpgradeLogPath() unless a test says otherwise.
    void KeepLogIn(const QString& path) { m_keptLog = CKeptLog(path); }
    // The log's text into a file of the user's choice (its context menu).
    void OnSaveLog();

    // Handlers, by control.
    void OnBrowse();  // 1054: choose a package, show its length and checksum
    void OnUpgrade(); // 1058: unpack the package and send its first image
    void OnClear();   // 1063: empty the log
    void OnRestart(); // 1073: restart the camera

    // Examines the next image (logs its length and checksum) and triggers
    // the camera's upgrade for it; at the end of the images, reports success.
    // Images of no known kind are logged and skipped.
    void SendNextImage();

    // The first complete read after the port was opened: once a run has
    // succeeded, the log says which versions the camera reports now and
    // whether they are those the package's images name.
    void OnCameraRead(bool afterOpening);
    // The device came back after it was unplugged: that is no restart, so
    // the camera now there is not checked against the package.
    void OnReplugged();

    void SetProgress(int percent); // 0..100
    // The page's buttons: upgrade and browse, and with them restart if asked.
    void EnableButtons(bool enable, bool includingRestart = true);

    // Unpacks the chosen package's images (those the camera does not run
    // already) into a fresh folder of this run's, in archive order.
    int ExtractPackage();
    // The run is over: its folder of images goes.
    void EndRun();
    ~CDlgUpdate() override;

    QString m_strPackagePath;
    int m_nChecksum = 0;
    int m_nImageKind = 3; // 0 elf, 1 sof, 2 font; 3 until an image was examined
    QStringList m_aImagePaths;
    int m_nImageCount = 0;
    int m_nNextImage = 0;

private:
    void ShowInLog(const QString& text);
    // Into the kept file only; a file that cannot be written costs one line
    // on screen until it can be written again.
    void Keep(const QString& text);

    CPageHost& m_host;
    QString m_strRunDir; // this run's images; empty between runs
    FirmwareVersions m_packageVersions;  // of the package being sent
    bool m_bVerifyPending = false;      // a run succeeded; the camera was not read since it reopened
    CKeptLog m_keptLog{UpgradeLogPath()};
    bool m_bKeptLogFailing = false;
};
