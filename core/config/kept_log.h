#pragma once

#include <QDateTime>
#include <QString>

// A log kept across runs of the program: each line appended with its date
// and time, the file moved to NAME.1 (replacing an older one) once it has
// grown past a size, so that it never fills the disk. Two writers (two
// windows) may append at once: each line lands whole, and a full file is
// moved aside once. A symbolic link at the log's name is not followed.
class CKeptLog {
public:
    static constexpr qint64 kRotateAtBytes = 4 * 1024 * 1024;

    explicit CKeptLog(QString path, qint64 rotateAtBytes = kRotateAtBytes);

    // Appends "yyyy-MM-dd hh:mm:ss  text" and a line end when text has none;
    // control characters in the text are kept as \xNN. False with *error
    // naming the file and the OS's words when the line is not kept whole
    // (the folder made when missing).
    bool Append(const QString& text, const QDateTime& when, QString* error) const;
    const QString& Path() const { return m_strPath; }

private:
    QString m_strPath;
    qint64 m_nRotateAt;
};

// The upgrade log of this user: <data folder>/orvane-config/upgrade.log, for
// example ~/.local/share/orvane-config/upgrade.log.
QString UpgradeLogPath();
