#pragma once

#include <QByteArray>
#include <QString>

#ifndef Q_OS_UNIX
#include <QFile>
#endif

// Whether a symbolic link at the path is followed to its target.
enum class LinkAtPath { Follow, Refuse };

// A regular file that lines are appended to: every write lands at the end,
// wherever another writer has left it, and is written whole or reported.
class CAppendFile {
public:
    explicit CAppendFile(QString path);
    ~CAppendFile();
    Q_DISABLE_COPY_MOVE(CAppendFile)

    // Opens the file, made when missing. Anything but a regular file (a
    // FIFO, a device, a directory) is refused without waiting for a reader,
    // as is a symbolic link with LinkAtPath::Refuse. False with *error saying
    // why: the OS's words, or what the path is.
    bool Open(LinkAtPath links, QString* error);
    bool IsOpen() const;
    // Of the file opened, whatever its name leads to by now.
    qint64 Size() const;
    // All of `bytes`, or false with *error the OS's words (a full disk...)
    // and none of them in the file.
    bool Write(const QByteArray& bytes, QString* error);
    // False with *error the OS's words when the close failed; true when not open.
    bool Close(QString* error);
    // Renames the opened file to `newPath`, replacing a file there, then
    // closes it. Only while the path still names the file opened, under its
    // lock: of two writers that found it due together, the second leaves
    // the renamed file alone. A rename that fails leaves the file where it is.
    void MoveAsideAndClose(const QString& newPath);

private:
    QString m_strPath;
#ifdef Q_OS_UNIX
    int m_fd = -1;
#else
    QFile m_file;
#endif
};
