#include "dialogs/file_dialog.h"

#include <QDebug>

namespace {

OpenFileHandler& Handler()
{
    static OpenFileHandler handler;
    return handler;
}

} // namespace

QString GetOpenFileName(const QString& initialName, const QString& filter)
{
    if (Handler())
        return Handler()(initialName, filter);
    qWarning("no file dialog installed: taken as cancelled");
    return QString();
}

OpenFileHandler SetOpenFileHandler(OpenFileHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}
