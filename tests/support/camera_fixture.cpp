#include "tests/support/camera_fixture.h"

#include "core/config/program_dir.h"

#include <QFile>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

PtyOptions WithLink(PtyOptions options, const QTemporaryDir& names)
{
    if (options.strLinkPath.empty())
        options.strLinkPath = names.filePath(u"camera"_s).toStdString();
    return options;
}

} // namespace

const QString& TestBackupsFolder()
{
    // One folder for the whole test program, gone when it ends; the
    // programs it starts inherit it.
    static QTemporaryDir folder;
    static const bool set = qputenv("ORVANE_BACKUPS", folder.path().toLocal8Bit());
    Q_UNUSED(set);
    static const QString path = folder.path();
    return path;
}

CameraFixture::CameraFixture(CameraFaults faults, CameraTiming timing, PtyOptions options)
    : m_pCamera(std::make_unique<PtyCamera>(std::move(faults), timing, WithLink(std::move(options), m_names)))
{
    TestBackupsFolder(); // no test writes among the user's own records
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

QString CameraFixture::Device() const
{
    return QString::fromStdString(m_pCamera->LinkPath());
}

void CameraFixture::WriteConfig(const QString& extraLines) const
{
    QFile file(ConfigIniPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(ConfigIniPath()));
    file.write(u"[Ports]\nCOM1=%1\nCOM3=/dev/orvane-no-such-device\n%2"_s
                   .arg(Device(), extraLines)
                   .toUtf8());
}

bool CameraFixture::WaitReceived(const std::string& bytes, int timeoutMs)
{
    return WaitUntil([&] { return m_pCamera->Received() == bytes; }, timeoutMs);
}

CameraFaults NoisyUpgrade(const QByteArray& inImage, const QByteArray& afterVerdict, const QByteArray& report)
{
    CameraFaults faults;
    faults.strNoiseInImage = inImage.toStdString();
    faults.strNoiseAfterVerdict = afterVerdict.toStdString();
    faults.strUpgradeError = report.toStdString();
    return faults;
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
    const std::size_t last = offset + length * std::size_t(count - 1);
    if (count < 3 || last >= line.size())
        return u"only %1 bytes on the line"_s.arg(line.size());
    std::vector<std::int64_t> gaps;
    for (std::size_t at = offset + length; at <= last; at += length)
        gaps.push_back(line[at].nAtNs - line[at - length].nAtNs);
    std::sort(gaps.begin(), gaps.end());
    const std::int64_t median = gaps[gaps.size() / 2];
    if (median < std::int64_t(pauseMs - 1) * 1'000'000)
        return u"the median pause between %1 commands was %2 ns"_s.arg(count).arg(median);
    return QString();
}

PtyOptions OwnRate(int baud, bool echo)
{
    PtyOptions options;
    options.nOwnRate = baud;
    options.bEcho = echo;
    return options;
}

std::vector<int> RatesHeard(const PtyCamera& camera)
{
    std::vector<int> rates;
    for (const LineByte& byte : camera.ReceivedLine()) {
        if (std::find(rates.begin(), rates.end(), byte.nRate) == rates.end())
            rates.push_back(byte.nRate);
    }
    return rates;
}
