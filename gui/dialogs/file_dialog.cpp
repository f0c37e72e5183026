#include "gui/dialogs/file_dialog.h"

#include <QDebug>

namespace {

OpenFileHandler& OpenHandler()
{
    static OpenFileHandler handler;
    return handler;
}

OpenFileHandler& SaveHandler()
{
    static OpenFileHandler handler;
    return handler;
}

OpenFileHandler& AppendHandler()
{
    static OpenFileHandler handler;
    return handler;
}

QString Ask(const OpenFileHandler& handler, const QString& initialName, const QString& filter)
{
    if (handler)
        return handler(initialName, filter);
    qWarning("no file dialog installed: taken as cancelled");
    return QString();
}

} // namespace

QString GetOpenFileName(const QString& initialName, const QString& filter)
{
    return Ask(OpenHandler(), initialName, filter);
}

OpenFileHandler SetOpenFileHandler(OpenFileHandler handler)
{
    return std::exchange(OpenHandler(), std::move(handler));
}

QString GetSaveFileName(const QString& initialName, const QString& filter)
{
    return Ask(SaveHandler(), initialName, filter);
}

OpenFileHandler SetSaveFileHandler(OpenFileHandler handler)
{
    return std::exchange(SaveHandler(), std::move(handler));
}

QString GetAppendFileName(const QString& initialName, const QString& filter)
{
    return Ask(AppendHandler(), initialName, filter);
}

OpenFileHandler SetAppendFileHandler(OpenFileHandler handler)
{
    return std::exchange(AppendHandler(), std::move(handler));
}
