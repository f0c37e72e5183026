#include "core/protocol/read_cycle.h"

#include "core/protocol/link_protocol.h"

#include <utility>

QByteArray CReadCycle::Start()
{
    m_nReadIndex = 0;
    m_strReply.clear();
    m_nReplyChars = 0;
    return NextRequest();
}

CReadCycle::Step CReadCycle::Receive(char ch)
{
    m_strReply.append(ch);
    ++m_nReplyChars;
    if (m_nReplyChars % 4 != 0)
        return Step::Collecting;
    if (m_nReadIndex < 0) {
        m_strReply.clear();
        m_nReplyChars = 0;
        return Step::Dropped;
    }
    return m_nReadIndex >= kReadListSize ? Step::Complete : Step::RequestNext;
}

QByteArray CReadCycle::NextRequest()
{
    if (m_nReadIndex < 0 || m_nReadIndex >= kReadListSize)
        return QByteArray();
    return FormatReadCommand(ReadList[m_nReadIndex++]);
}

QByteArray CReadCycle::TakeReply()
{
    m_nReplyChars = 0;
    return std::exchange(m_strReply, QByteArray());
}

void CReadCycle::End()
{
    m_nReadIndex = -1;
    m_strReply.clear();
    m_nReplyChars = 0;
}
