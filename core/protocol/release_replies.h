#pragma once

#include "core/protocol/upgrade_protocol.h"

#include <QByteArray>
#include <string>

// The camera's replies once it has been released after a 'D' and asked for
// a register. The answer shows that it took the release and runs again. An
// error report, or another 'D', shows that the first 'D' was not its verdict
// (line noise while it still flashed): it has spoken now and waits for "R".
class CReleaseReplies {
public:
    enum class Event { None, Answered, Verdict, Report };

    Event Receive(char ch);
    // The four characters of the report that Receive() last completed.
    const std::string& Report() const { return m_replies.Report(); }
    void Reset();

private:
    CUpgradeReplies m_replies;
    QByteArray m_tail; // the last four characters: an answer is two hex digits, CR, LF
};
