#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Every message box of the program goes through MessageBox(). The GUI
// installs a handler that shows a modal box; tests install a recorder.
// MessageBox() must be called on the GUI thread: a thread that meets a
// failure posts it there and goes on (the serial port posts its errors to
// its owner's thread, whose reporter shows the box; the window's trace does
// the same with a failed write).

enum class MessageIcon { Information, Warning, Stop, Question };

using MessageBoxHandler = std::function<void(const QString& text, const QString& caption, MessageIcon icon)>;

void MessageBox(const QString& text, const QString& caption, MessageIcon icon = MessageIcon::Information);

// Replaces the handler and returns the previous one. Without a handler the
// box is written to standard error, so nothing is ever silently lost.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// A question answered with Yes (true) or No. Without a handler the answer is
// No, and the question is written to standard error.
using QuestionHandler = std::function<bool(const QString& text, const QString& caption)>;

bool AskYesNo(const QString& text, const QString& caption);

QuestionHandler SetQuestionHandler(QuestionHandler handler);

// A box with OK and one more button, `offer`, for what the user may do
// next: true when that button was pressed. Without a handler the box is
// written to standard error and the answer is OK.
using OfferHandler = std::function<bool(const QString& text, const QString& caption, const QString& offer)>;

bool MessageBoxOffering(const QString& text, const QString& caption, const QString& offer);

OfferHandler SetOfferHandler(OfferHandler handler);

// A line the user types (a device server's address), or nothing when the
// box was cancelled. Without a handler the prompt is written to standard
// error and the answer is nothing.
using TextHandler = std::function<std::optional<QString>(const QString& prompt, const QString& caption)>;

std::optional<QString> AskText(const QString& prompt, const QString& caption);

TextHandler SetTextHandler(TextHandler handler);

// One of `items` chosen from a list (a kept record of the settings), by its
// index, or nothing when the box was cancelled. Without a handler the
// prompt is written to standard error and the answer is nothing.
using ChoiceHandler =
    std::function<std::optional<int>(const QString& prompt, const QString& caption, const QStringList& items)>;

std::optional<int> AskChoice(const QString& prompt, const QString& caption, const QStringList& items);

ChoiceHandler SetChoiceHandler(ChoiceHandler handler);
