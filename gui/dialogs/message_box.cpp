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

OfferHandler& Offers()
{
    static OfferHandler handler;
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

bool MessageBoxOffering(const QString& text, const QString& caption, const QString& offer)
{
    if (Offers())
        return Offers()(text, caption, offer);
    qWarning().noquote() << caption << u':' << text;
    return false;
}

OfferHandler SetOfferHandler(OfferHandler handler)
{
    return std::exchange(Offers(), std::move(handler));
}

namespace {

TextHandler& TextAnswers()
{
    static TextHandler handler;
    return handler;
}

} // namespace

std::optional<QString> AskText(const QString& prompt, const QString& caption)
{
    if (TextAnswers())
        return TextAnswers()(prompt, caption);
    qWarning().noquote() << caption << u':' << prompt << u"(cancelled)";
    return std::nullopt;
}

TextHandler SetTextHandler(TextHandler handler)
{
    return std::exchange(TextAnswers(), std::move(handler));
}

namespace {

ChoiceHandler& ChoiceAnswers()
{
    static ChoiceHandler handler;
    return handler;
}

} // namespace

std::optional<int> AskChoice(const QString& prompt, const QString& caption, const QStringList& items)
{
    if (ChoiceAnswers())
        return ChoiceAnswers()(prompt, caption, items);
    qWarning().noquote() << caption << u':' << prompt << u"(cancelled)";
    return std::nullopt;
}

ChoiceHandler SetChoiceHandler(ChoiceHandler handler)
{
    return std::exchange(ChoiceAnswers(), std::move(handler));
}
