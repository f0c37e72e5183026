#include "cli/provision_board.h"

#include "provision/provision_report.h"

using namespace Qt::StringLiterals;

CProvisionBoard::CProvisionBoard(CliStreams& io, const QStringList& ports)
    : m_io(io), m_ports(ports), m_lines(ports.size(), Line{u"waiting"_s})
{
    for (const QString& port : ports)
        m_nPortWidth = std::max(m_nPortWidth, int(port.size()));
}

void CProvisionBoard::Stage(int port, const QString& stage)
{
    m_lines[port] = {stage};
    m_bChanged = true;
    if (!m_io.bTerminal)
        m_io.out << ProgressLine(m_ports[port], m_nPortWidth, stage, -1, 0) << u'\n' << Qt::flush;
}

void CProvisionBoard::Progress(int port, int percent, qint64 bytesPerSecond)
{
    m_lines[port].nPercent = percent;
    m_lines[port].nRate = bytesPerSecond;
    m_bChanged = true;
}

void CProvisionBoard::Finished(int port, const CameraRecord& record)
{
    Stage(port, record.bOk ? u"done"_s : u"FAILED: "_s + record.strFailure);
    Redraw();
}

void CProvisionBoard::Counted(int passed, int failed)
{
    m_strCounters = u"passed %1, failed %2"_s.arg(passed).arg(failed);
    m_bChanged = true;
    if (!m_io.bTerminal)
        m_io.out << m_strCounters << u'\n' << Qt::flush;
}

void CProvisionBoard::Redraw()
{
    if (!m_io.bTerminal || !m_bChanged)
        return;
    if (m_bDrawn) // back to the first port's line
        m_io.out << u"\x1b[%1A"_s.arg(m_lines.size() + (m_bCountersDrawn ? 1 : 0));
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        m_io.out << u"\r\x1b[2K"_s << ProgressLine(m_ports[int(i)], m_nPortWidth, line.strStage, line.nPercent, line.nRate)
                 << u'\n';
    }
    if (!m_strCounters.isEmpty())
        m_io.out << u"\r\x1b[2K"_s << m_strCounters << u'\n';
    m_io.out.flush();
    m_bCountersDrawn = !m_strCounters.isEmpty();
    m_bDrawn = true;
    m_bChanged = false;
}
