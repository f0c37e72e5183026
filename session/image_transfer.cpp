#include "session/image_transfer.h"

#include "core/config/file_contents.h"
#include "core/firmware/package_reader.h"
#include "core/protocol/checksum.h"
#include "core/protocol/upgrade_protocol.h"
#include "serial/post_call.h"
#include "serial/line.h"

#include <chrono>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait for the driver looks at the cancel flag.
constexpr int kCancelCheckMs = 20;

// Lets this thread's pauses end when they are due: by default Linux may let
// each run 50 us late, 0.5% of every 10 ms pause.
void ExactSleeps()
{
#ifdef Q_OS_LINUX
    prctl(PR_SET_TIMERSLACK, 1UL);
#endif
}

// The image's name from its last separator on, the separator included.
QString FileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/'));
}

// The image's first `sent` bytes, then filler up to its length, such that
// the whole does not add up to `checksum`.
QByteArray RefusedCompletion(const QByteArray& image, qsizetype sent, int checksum)
{
    QByteArray completed = image.left(sent) + QByteArray(image.size() - sent, '\0');
    for (int last = 1; last < 256 && sent < completed.size() && ComputeChecksum(completed) == checksum; ++last)
        completed.back() = char(last);
    return completed;
}

} // namespace

qint64 TransferRate(const TransferReport& report)
{
    return report.nElapsedMs > 0 ? report.nBytes * 1000 / report.nElapsedMs : 0;
}

CImageTransfer::CImageTransfer(Events events) : m_events(std::move(events)) {}

CImageTransfer::~CImageTransfer()
{
    Cancel();
}

bool CImageTransfer::Start(CLine& line, const TransferJob& job)
{
    if (IsRunning())
        return false;
    m_pLine = &line;
    m_bCancel = false;
    m_bAbandon = false;
    m_bLastHandedOver = false;
    const quint64 run = ++m_nRun;
    m_thread = std::thread([this, job, run, byteTimeNs = line.CharacterTimeNs()] {
        ExactSleeps();
        Run(job, run, byteTimeNs);
    });
    return true;
}

void CImageTransfer::Cancel()
{
    if (!IsRunning())
        return;
    m_bCancel = true;
    m_thread.join();
    ++m_nRun; // what the run posted before it saw the flag is dropped
}

template <typename Fn>
void CImageTransfer::Post(quint64 run, Fn fn)
{
    PostCall(&m_context, [this, run, fn = std::move(fn)]() mutable {
        if (run == m_nRun)
            fn();
    });
}

bool CImageTransfer::PauseUntil(Clock::time_point until) const
{
    for (Clock::time_point now = Clock::now(); now < until; now = Clock::now()) {
        if (m_bCancel)
            return false;
        std::this_thread::sleep_until(std::min(until, now + std::chrono::milliseconds(kCancelCheckMs)));
    }
    return true;
}

void CImageTransfer::Run(const TransferJob& job, quint64 run, qint64 byteTimeNs)
{
    TransferReport report;
    const auto finish = [&] {
        Post(run, [this, report] {
            m_thread.join(); // it has nothing left to do but return
            m_events.finished(report);
        });
    };

    QByteArray image = job.image.value_or(QByteArray());
    QString unreadable;
    if (!job.image && !ReadRegularFile(job.strPath, PackageLimits{}.nEntryMax, &image, &unreadable)) {
        report.outcome = TransferReport::Outcome::ImageUnreadable;
        report.strDetail = job.strPath + u": "_s + unreadable;
        finish();
        return;
    }

    // Waits until the driver has taken the bytes up to `ticket`.
    const auto written = [this](const WriteTicket& ticket) {
        for (;;) {
            switch (m_pLine->WaitWritten(ticket, kCancelCheckMs)) {
            case CLine::WriteState::Written: return true;
            case CLine::WriteState::Dropped: return false;
            case CLine::WriteState::Pending:
                if (m_bCancel)
                    return false;
                break;
            }
        }
    };
    const auto gone = [&] {
        report.outcome = TransferReport::Outcome::PortGone;
        finish();
    };

    const Clock::time_point start = Clock::now();
    // When what was handed over will have left the line.
    Clock::time_point lineFree = start;
    const auto occupy = [&](qsizetype bytes) {
        lineFree = std::max(lineFree, Clock::now()) + std::chrono::nanoseconds(bytes * byteTimeNs);
    };
    const auto header = ImageHeader(job.nImageKind, job.nChecksum, static_cast<std::uint32_t>(image.size()));
    const std::vector<ImagePiece> pieces = PieceSchedule(std::uint64_t(image.size()));
    // Set before the hand-over: a reply to these bytes is heard after it.
    m_bLastHandedOver = pieces.empty();
    WriteTicket ticket = m_pLine->QueueWrite(QByteArray(reinterpret_cast<const char*>(header.data()), qsizetype(header.size())));
    occupy(qsizetype(header.size()));
    std::this_thread::sleep_until(start + std::chrono::milliseconds(kHeaderPauseMs));
    Post(run, [this, name = FileNameOf(job.strPath)] { m_events.headerSent(name); });

    for (const ImagePiece& piece : pieces) {
        if (m_bCancel || !written(ticket))
            return gone();
        if (m_bAbandon && !report.bFilled) {
            image = RefusedCompletion(image, qsizetype(piece.offset), job.nChecksum);
            report.bFilled = true;
        }
        // The piece cannot leave before its hand-over starts: the pause counts from there.
        const Clock::time_point handedOver = Clock::now();
        m_bLastHandedOver = &piece == &pieces.back();
        ticket = m_pLine->QueueImageWrite(image.mid(qsizetype(piece.offset), qsizetype(piece.size)));
        occupy(qsizetype(piece.size));
        report.nBytes += qint64(piece.size);
        Post(run, [this, percent = piece.progress] { m_events.progress(percent); });
        if (!PauseUntil(std::max(handedOver + std::chrono::milliseconds(kPiecePauseMs), lineFree)))
            return gone();
    }
    if (!written(ticket))
        return gone();
    report.nElapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    finish();
}
