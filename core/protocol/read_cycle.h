#pragma once

#include <QByteArray>

// The read cycle: the registers of ReadList requested one at a time, each
// request sent once the four characters of the previous answer are in, and
// the collected answers handed over for parsing when the last one is
// complete. The owner sends the requests and keeps the pacing.
class CReadCycle {
public:
    enum class Step {
        Collecting,  // fewer than four characters of this answer so far
        RequestNext, // an answer is complete: NextRequest() gives the next command
        Complete,    // every register was requested: TakeReply() gives the answers to parse
        Dropped,     // a group of four before any cycle started: nothing to belong to
    };

    // Starts a cycle from any state, discarding what was collected, and
    // returns the first request.
    QByteArray Start();

    // Counts one character received in read mode.
    Step Receive(char ch);

    // The read command for the next register of ReadList; advances the index.
    QByteArray NextRequest();

    // The characters collected for parsing; the collection starts empty again.
    QByteArray TakeReply();

    // Back to idle, as before the first cycle: groups that still arrive are dropped.
    void End();

    int ReadIndex() const { return m_nReadIndex; }
    int ReplyChars() const { return m_nReplyChars; }
    const QByteArray& Reply() const { return m_strReply; }

private:
    int m_nReadIndex = -1;   // next ReadList entry; -1 before the first cycle, 23 once all are out
    QByteArray m_strReply;   // characters received in read mode since the cycle started or the last parse
    int m_nReplyChars = 0;   // how many; every fourth ends one answer
};
