#include "tests/support/message_box_recorder.h"

#include <QTest>

MessageBoxRecorder::MessageBoxRecorder()
{
    m_previous = SetMessageBoxHandler([this](const QString& text, const QString& caption, MessageIcon icon) {
        m_boxes.append({text, caption, icon, QString()});
    });
    m_previousQuestions = SetQuestionHandler([this](const QString& text, const QString& caption) {
        m_boxes.append({text, caption, MessageIcon::Question, QString()});
        return m_bAnswer;
    });
    m_previousOffers = SetOfferHandler([this](const QString& text, const QString& caption, const QString& offer) {
        m_boxes.append({text, caption, MessageIcon::Information, offer});
        return m_bAnswer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetMessageBoxHandler(std::move(m_previous));
    SetQuestionHandler(std::move(m_previousQuestions));
    SetOfferHandler(std::move(m_previousOffers));
    // A box the test never looked at is one it did not expect.
    for (qsizetype i = m_nSeen; i < m_boxes.size(); ++i) {
        const QByteArray message = "unexpected message box: " + m_boxes[i].text.toUtf8();
        QTest::qFail(message.constData(), __FILE__, __LINE__);
    }
}

const QList<MessageBoxRecorder::Box>& MessageBoxRecorder::Boxes() const
{
    m_nSeen = m_boxes.size();
    return m_boxes;
}
