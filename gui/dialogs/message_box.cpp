#include "gui/dialogs/message_box.h"

#include <QDebug>

namespace {

MessageBoxHandler& Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

QuestionHandler& Questions()
{
    static QuestionHandler handler;
    return handler;
}

} // namespace

void MessageBox(const QString& text, const QString& caption, MessageIcon icon)
{
    if (Handler())
        Handler()(text, caption, icon);
    else
        qWarning().noquote() << caption << u':' << text;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}

bool AskYesNo(const QString& text, const QString& caption)
{
    if (Questions())
        return Questions()(text, caption);
    qWarning().noquote() << caption << u':' << text << u"(no)";
    return false;
}

QuestionHandler SetQuestionHandler(QuestionHandler handler)
{
    return std::exchange(Questions(), std::move(handler));
}
