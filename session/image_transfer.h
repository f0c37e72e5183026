#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

class CLine;

// One image to stream: its file, read by the transfer thread, or its bytes
// when they are in memory already (then no file is ever read, whatever
// strPath names); its kind (0 elf, 1 sof, 2 font) and the checksum computed
// when it was examined.
struct TransferJob {
    QString strPath;
    int nImageKind = 0;
    int nChecksum = 0;
    std::optional<QByteArray> image; // unset: read strPath
};

// How a transfer ended.
struct TransferReport {
    enum class Outcome {
        Sent,            // header and every piece handed to the driver
        ImageUnreadable, // nothing sent: strDetail says why
        PortGone,        // the port was stopped, lost or reopened under the transfer
    };
    Outcome outcome = Outcome::Sent;
    bool bFilled = false; // abandoned: the rest went out as filler the camera refuses
    QString strDetail; // for an unreadable image: its path and the OS's words
    qint64 nBytes = 0;     // image bytes written
    qint64 nElapsedMs = 0; // from the header's hand-over to the end of the last pause
};

// Image bytes per second of a finished transfer; 0 when no time passed.
qint64 TransferRate(const TransferReport& report);

// Streams one image on its own thread: the 7-byte header, 20 ms, then pieces
// of 100 bytes, each followed by 10 ms counted from its hand-over, or until
// it has left the line where the line is slower than that. A piece is handed
// over only once the driver has taken the one before, so the progress is
// honest, a slow line never piles up a queue that a stop could not take
// back, and the transfer ends when its last byte is out, where the wait for
// the camera's answer begins. The events run on the context object's thread, in order; the
// thread itself never waits for them.
class CImageTransfer final {
public:
    struct Events {
        std::function<void(const QString& fileName)> headerSent{}; // after the 20 ms pause
        std::function<void(int percent)> progress{};                // after each piece
        std::function<void(const TransferReport&)> finished{};     // last; the transfer is over
    };

    explicit CImageTransfer(Events events);
    ~CImageTransfer();
    Q_DISABLE_COPY_MOVE(CImageTransfer)

    // Starts a transfer on the line; false while one runs. On the context's thread.
    bool Start(CLine& line, const TransferJob& job);
    // From Start() until finished() has run, or until Cancel().
    bool IsRunning() const { return m_thread.joinable(); }
    // The last piece (for an empty image, the header) has been handed to
    // the port: a reply now may be the camera's verdict on the whole image.
    bool LastPieceHandedOver() const { return m_bLastHandedOver; }
    // Stops a running transfer between pieces and waits for its thread; no
    // event of it runs afterwards. On the context's thread.
    void Cancel();
    // Sends the rest of the announced length as filler, paced as the image
    // is, chosen so that the whole fails the checksum: a camera stopped in
    // the middle of an image then refuses it and answers again, where one
    // left waiting for bytes would take what follows as image data.
    void Abandon() { m_bAbandon = true; }

private:
    void Run(const TransferJob& job, quint64 run, qint64 byteTimeNs);
    // Sleeps until `until`; false, sooner, when the transfer is cancelled.
    bool PauseUntil(std::chrono::steady_clock::time_point until) const;
    template <typename Fn>
    void Post(quint64 run, Fn fn);

    CLine* m_pLine = nullptr; // of the run under way
    Events m_events;
    QObject m_context; // events are posted here; pending ones die with it
    std::thread m_thread;
    std::atomic<bool> m_bCancel{false};
    std::atomic<bool> m_bLastHandedOver{false};
    std::atomic<bool> m_bAbandon{false};
    quint64 m_nRun = 0; // context thread only: events of an earlier run are dropped
};
