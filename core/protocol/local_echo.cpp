#include "core/protocol/local_echo.h"

void CLocalEcho::Sent(const QByteArray& bytes)
{
    if (m_state == State::Clean || bytes.isEmpty())
        return;
    if (m_nFirstSent == 0)
        m_nFirstSent = bytes.size();
    // Copied, never shared: the caller's array may live on in another thread.
    m_pending.append(bytes.constData(), bytes.size());
    if (m_pending.size() <= kPendingMax)
        return;
    if (m_state == State::Unknown) {
        m_state = State::Clean;
        m_pending.clear();
        m_nHeld = 0;
    } else {
        m_pending.remove(0, m_pending.size() - kPendingMax);
    }
}

QByteArray CLocalEcho::Received(const QByteArray& bytes)
{
    if (m_state == State::Clean)
        return bytes;
    QByteArray camera;
    for (const char byte : bytes) {
        switch (m_state) {
        case State::Unknown:
            if (m_nHeld < m_pending.size() && byte == m_pending[m_nHeld]) {
                if (++m_nHeld == m_nFirstSent) {
                    m_state = State::Echoes;
                    m_pending.remove(0, m_nHeld);
                    m_nHeld = 0;
                }
            } else if (m_pending.isEmpty()) {
                camera += byte; // nothing sent yet: the camera's, and nothing to decide by
            } else {
                // Not the host's bytes: what was held back was the camera's too.
                camera += m_pending.left(m_nHeld);
                camera += byte;
                m_state = State::Clean;
                m_pending.clear();
                m_nHeld = 0;
            }
            break;
        case State::Echoes:
            if (!m_pending.isEmpty() && byte == m_pending.front()) {
                m_pending.remove(0, 1);
            } else {
                // An echo byte lost or garbled on the line: the rest of that
                // echo cannot be told from the camera's bytes any more.
                m_pending.clear();
                camera += byte;
            }
            break;
        case State::Clean:
            camera += byte;
            break;
        }
    }
    return camera;
}

void CLocalEcho::DecideAgain()
{
    if (m_state != State::Clean)
        return;
    *this = CLocalEcho();
}
