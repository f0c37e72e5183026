#include "core/protocol/release_replies.h"

#include "core/protocol/link_protocol.h"

CReleaseReplies::Event CReleaseReplies::Receive(char ch)
{
    m_tail.append(ch);
    if (m_tail.size() > 4)
        m_tail.remove(0, 1);
    if (IsRegisterAnswer(m_tail)) {
        Reset();
        return Event::Answered;
    }
    // An answer's digit may be a 'D' or an 'E': the answer, complete two
    // characters later, still wins over what it seemed to start.
    switch (m_replies.Receive(ch)) {
    case CUpgradeReplies::Event::Done: return Event::Verdict;
    case CUpgradeReplies::Event::Report: return Event::Report;
    default: return Event::None;
    }
}

void CReleaseReplies::Reset()
{
    m_replies.Reset();
    m_tail.clear();
}
