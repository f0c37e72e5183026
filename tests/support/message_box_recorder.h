#pragma once

#include "gui/dialogs/message_box.h"

#include <QList>
#include <QString>

// Records every message box and question instead of showing it, for as long
// as it lives; questions are answered with SetAnswer()'s choice (No unless
// set) and recorded with the Question icon, and so is a box's offer (OK
// unless set: true presses the offered button). A box the test never read
// through Boxes() fails the test.
class MessageBoxRecorder {
public:
    struct Box {
        QString text;
        QString caption;
        MessageIcon icon;
        QString offer; // the box's button beside OK, when it had one
    };

    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const QList<Box>& Boxes() const;
    void SetAnswer(bool yes) { m_bAnswer = yes; }

private:
    QList<Box> m_boxes;
    mutable qsizetype m_nSeen = 0;
    bool m_bAnswer = false;
    MessageBoxHandler m_previous;
    QuestionHandler m_previousQuestions;
    OfferHandler m_previousOffers;
};
