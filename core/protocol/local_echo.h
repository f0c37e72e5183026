#pragma once

#include <QByteArray>

// A line that hears the host's own bytes: two-wire RS-485 adapters (and
// converters whose receiver stays on) return everything the host sends
// ahead of the camera's answer. The line is taken to echo when what arrives
// first begins with exactly the first bytes sent; from then on every sent
// byte is taken out of what arrives, in order. A line whose first answer
// differs passes everything through untouched.
class CLocalEcho {
public:
    enum class State { Unknown, Echoes, Clean };

    // Bytes as they go to the line, in order.
    void Sent(const QByteArray& bytes);
    // Bytes as they arrive; returns those that are not the host's own.
    QByteArray Received(const QByteArray& bytes);

    State LineState() const { return m_state; }
    // A line found clean is decided again from the next bytes sent: what
    // told it apart may have been noise ahead of the first echo. A line
    // known to echo stays so.
    void DecideAgain();

private:
    // Sent bytes kept for their echo at most: a line that returned none of
    // so many does not echo.
    static constexpr qsizetype kPendingMax = 64 * 1024;

    State m_state = State::Unknown;
    QByteArray m_pending;       // sent, its echo not yet heard
    qsizetype m_nHeld = 0;      // while Unknown: how much of m_pending has come back so far
    qsizetype m_nFirstSent = 0; // the first hand-over's length: heard back whole, the line echoes
};
