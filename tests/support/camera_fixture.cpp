#include "tests/support/camera_fixture.h"

#include "common/program_dir.h"

#include <QFile>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

using namespace Qt::StringLiterals;

CameraFixture::CameraFixture(CameraFaults faults, CameraTiming timing, PtyOptions options)
    : m_pCamera(std::make_unique<PtyCamera>(std::move(faults), timing, std::move(options)))
{
    std::string error;
    m_bStarted = m_pCamera->Start(&error);
    if (!m_bStarted)
        qWarning("camera simulator did not start: %s", error.c_str());
    WriteConfig();
}

CameraFixture::~CameraFixture()
{
    QFile::remove(ConfigIniPath());
}

void CameraFixture::WriteConfig(const QString& extraLines) const
{
    QFile file(ConfigIniPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(ConfigIniPath()));
    file.write(u"[Ports]\nCOM1=%1\nCOM3=/dev/orvane-no-such-device\n%2"_s
                   .arg(QString::fromStdString(m_pCamera->DevicePath()), extraLines)
                   .toUtf8());
}

bool CameraFixture::WaitReceived(const std::string& bytes, int timeoutMs)
{
    return WaitUntil([&] { return m_pCamera->Received() == bytes; }, timeoutMs);
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    // A running event loop delivers each received byte at once; QTest's
    // waits sleep 10 ms between rounds, which a byte-by-byte exchange pays per byte.
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer poll;
    poll.callOnTimeout(&loop, [&] {
        if (condition() || elapsed.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(1);
    if (!condition())
        loop.exec();
    return condition();
}

QString CheckCommandSpacing(const std::vector<LineByte>& line, std::size_t offset, std::size_t length, int count,
                            int pauseMs)
{
    const std::int64_t pauseNs = std::int64_t(pauseMs) * 1'000'000;
    const std::size_t last = offset + length * std::size_t(count - 1);
    if (last >= line.size())
        return u"only %1 bytes on the line"_s.arg(line.size());
    for (std::size_t at = offset + length; at <= last; at += length) {
        const std::int64_t gap = line[at].nAtNs - line[at - length].nAtNs;
        if (gap < pauseNs / 2)
            return u"command %1 followed the one before after %2 ns"_s.arg((at - offset) / length).arg(gap);
    }
    const std::int64_t span = line[last].nAtNs - line[offset].nAtNs;
    if (span < (count - 1) * pauseNs - kStampDelay)
        return u"%1 commands spanned only %2 ns"_s.arg(count).arg(span);
    return QString();
}
