#include "serial/line_trace.h"

#include <QTime>
#include <cstdio>

std::shared_ptr<CLineTrace> CLineTrace::Open(const QString& path, FailureReporter onFailure, QString* error)
{
    std::shared_ptr<CLineTrace> trace(new CLineTrace(path, std::move(onFailure)));
    if (!trace->m_file.Open(LinkAtPath::Follow, error))
        return nullptr;
    trace->m_nStartOfDayMs = QTime::currentTime().msecsSinceStartOfDay();
    trace->m_clock.start();
    trace->m_thread = std::thread([raw = trace.get()] { raw->WriteLoop(); });
    return trace;
}

CLineTrace::CLineTrace(QString path, FailureReporter onFailure)
    : m_strPath(std::move(path)), m_file(m_strPath), m_onFailure(std::move(onFailure))
{
}

CLineTrace::~CLineTrace()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void CLineTrace::Sent(const QString& port, const QByteArray& bytes)
{
    Add({0, Kind::Sent, port, bytes, 0});
}

void CLineTrace::SentImage(const QString& port, qint64 bytes)
{
    Add({0, Kind::SentImage, port, {}, bytes});
}

void CLineTrace::Received(const QString& port, const QByteArray& bytes)
{
    Add({0, Kind::Received, port, bytes, 0});
}

void CLineTrace::Note(const QString& port, const QString& text)
{
    Add({0, Kind::Note, port, text.toUtf8(), 0});
}

void CLineTrace::Add(Event event)
{
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_mutex);
        // Stamped under the lock: events of two threads are queued, and
        // written, in the order of their times.
        event.nMs = m_clock.elapsed();
        wasEmpty = m_events.empty();
        m_events.push_back(std::move(event));
    }
    // The writer takes all that is queued whenever it wakes: one wake-up per batch.
    if (wasEmpty)
        m_wake.notify_one();
}

void CLineTrace::WriteLoop()
{
    bool failed = false;
    std::vector<Event> batch;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStop || !m_events.empty(); });
            if (m_events.empty())
                return; // stopped, and everything written
            batch.swap(m_events);
        }
        if (!failed) {
            QByteArray lines;
            for (const Event& event : batch)
                lines += LineOf(event);
            if (QString why; !m_file.Write(lines, &why)) {
                failed = true; // said once; the line goes on untraced
                if (m_onFailure)
                    m_onFailure(why);
            }
        }
        batch.clear();
    }
}

QByteArray CLineTrace::LineOf(const Event& event) const
{
    constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
    const qint64 ofDay = (m_nStartOfDayMs + event.nMs) % kDayMs;
    char clock[24];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d.%03d", int(ofDay / 3600000), int(ofDay / 60000 % 60),
                  int(ofDay / 1000 % 60), int(ofDay % 1000));
    QByteArray line = QByteArray(clock) + " +" + QByteArray::number(event.nMs) + ' ' + event.strPort.toUtf8();
    switch (event.kind) {
    case Kind::Sent: line += " -> " + LineBytesAsText(event.bytes); break;
    case Kind::SentImage: line += " -> " + QByteArray::number(event.nImageBytes) + " bytes of image"; break;
    case Kind::Received: line += " <- " + LineBytesAsText(event.bytes); break;
    case Kind::Note: line += " -- " + LineBytesAsText(event.bytes); break;
    }
    return line + '\n';
}

QByteArray LineBytesAsText(const QByteArray& bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    QByteArray text;
    text.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (byte) {
        case '\r': text += "\\r"; break;
        case '\n': text += "\\n"; break;
        case '\t': text += "\\t"; break;
        case '\\': text += "\\\\"; break;
        default:
            if (byte >= 0x20 && byte < 0x7f) {
                text += ch;
            } else {
                text += "\\x";
                text += kHex[byte >> 4];
                text += kHex[byte & 0x0f];
            }
        }
    }
    return text;
}
