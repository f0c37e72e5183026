#include "gui/main_window/window_trace.h"

#include "gui/dialogs/file_dialog.h"
#include "gui/dialogs/message_box.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "serial/line_trace.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

CWindowTrace::CWindowTrace(Window window) : m_window(std::move(window)) {}

CWindowTrace::~CWindowTrace() = default;

void CWindowTrace::Toggle()
{
    if (m_trace) {
        Stop();
        return;
    }
    const QString path = GetAppendFileName(u"orvane-line.log"_s, LoadString(Ids::TraceFileFilter));
    if (path.isEmpty())
        return;
    // A failure is told on the trace's thread: it comes here through the
    // application, which outlives the window, and only while the token lives.
    auto token = std::make_shared<char>();
    QString error;
    std::shared_ptr<CLineTrace> trace = CLineTrace::Open(
        path,
        [this, alive = std::weak_ptr<char>(token), path](const QString& why) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [this, alive, path, why] {
                    if (!alive.expired())
                        OnFailed(path, why);
                },
                Qt::QueuedConnection);
        },
        &error);
    if (!trace) {
        MessageBox(LoadString(Ids::TraceFailed).arg(path, error), LoadString(Ids::MessageCaption));
        return;
    }
    m_token = std::move(token);
    m_trace = std::move(trace);
    m_window.attach(m_trace);
    m_window.changed();
}

void CWindowTrace::Stop()
{
    if (!m_trace)
        return;
    m_window.attach(nullptr);
    m_token.reset();
    m_trace.reset(); // what is queued is written once the last holder lets go
    m_window.changed();
}

void CWindowTrace::OnFailed(const QString& path, const QString& why)
{
    Stop();
    MessageBox(LoadString(Ids::TraceFailed).arg(path, why), LoadString(Ids::MessageCaption));
}
