#pragma once

#include "core/config/kept_log.h"

#include <QString>

class QTextEdit;

// The upgrade page's time-stamped log (edit 1057), every line of it also
// kept, with its date, in the user's upgrade log file.
class CUpgradeLog final {
public:
    explicit CUpgradeLog(QTextEdit* view);

    // One line behind the local time as "hh:mm:ss  "; the text carries its
    // own line end. Beyond 20 000 characters the view starts afresh.
    void Append(const QString& text);
    // Into the kept file only; a file that cannot be written costs one line
    // on screen until it can be written again.
    void Keep(const QString& text);
    // Where the log is kept: UpgradeLogPath() unless a test says otherwise.
    void KeepIn(const QString& path) { m_keptLog = CKeptLog(path); }
    // The view's text into a file of the user's choice (its context menu).
    void Save();
    void Clear();

private:
    void Show(const QString& text);

    QTextEdit* m_pView;
    CKeptLog m_keptLog{UpgradeLogPath()};
    bool m_bKeptLogFailing = false;
};
