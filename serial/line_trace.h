#pragma once

#include "core/config/append_file.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A trace of what went over serial lines, one line of text per event,
// appended to a file the technician chose:
//     14:02:11.234 +1234 /dev/ttyUSB0 -> r 001F \r\n
//     14:02:11.241 +1241 /dev/ttyUSB0 <- 00\r\n
//     14:02:11.250 +1250 /dev/ttyUSB0 -> 100 bytes of image
//     14:02:11.300 +1300 /dev/ttyUSB0 -- closed
// the local clock time, "+" and the ms since the trace began, the port, the
// direction ("->" sent, "<-" received, "--" a note about the line), then
// the bytes with control and non-ASCII bytes escaped. Any thread may add to it: adding only stamps the
// event and queues it; a thread of the trace's own formats and writes, so
// the line never waits for the disk. Each batch is one append of whole
// lines, so two programs tracing to one file interleave lines, never
// characters. Share it with std::shared_ptr; the last holder lets the
// writer finish what is queued.
class CLineTrace final {
public:
    // Told once, on the trace's thread, when the file can no longer be
    // written; the trace then drops what comes, and the line goes on.
    using FailureReporter = std::function<void(const QString& why)>;

    // Opens `path` for append (made when missing); a FIFO, a device or a
    // directory is refused. Null with *error saying why.
    static std::shared_ptr<CLineTrace> Open(const QString& path, FailureReporter onFailure, QString* error);
    ~CLineTrace();
    Q_DISABLE_COPY_MOVE(CLineTrace)

    void Sent(const QString& port, const QByteArray& bytes);
    void SentImage(const QString& port, qint64 bytes); // a piece of an image: its length only
    void Received(const QString& port, const QByteArray& bytes);
    void Note(const QString& port, const QString& text);

    const QString& Path() const { return m_strPath; }

private:
    enum class Kind { Sent, SentImage, Received, Note };
    struct Event {
        qint64 nMs = 0; // stamped as it is queued
        Kind kind = Kind::Note;
        QString strPort;
        QByteArray bytes; // Sent, Received; the note's UTF-8 text
        qint64 nImageBytes = 0;
    };

    CLineTrace(QString path, FailureReporter onFailure);
    void Add(Event event); // stamps and queues it
    void WriteLoop();
    QByteArray LineOf(const Event& event) const;

    const QString m_strPath;
    CAppendFile m_file; // on the trace's thread once it runs
    FailureReporter m_onFailure;
    QElapsedTimer m_clock;
    // The local time of day when m_clock started, in ms: a line's clock time
    // is this and its ms since then, with no time zone looked up on the
    // threads that add events.
    qint64 m_nStartOfDayMs = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Event> m_events; // queued, not yet written
    bool m_bStop = false;
    std::thread m_thread; // started once the file is open
};

// Bytes as a trace line shows them: printable ASCII as it is, a backslash
// doubled, CR, LF and tab as \r, \n and \t, any other byte as \xNN.
QByteArray LineBytesAsText(const QByteArray& bytes);
