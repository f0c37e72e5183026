#include "tests/support/message_box_recorder.h"

MessageBoxRecorder::MessageBoxRecorder()
{
    m_previous = SetMessageBoxHandler([this](const QString& text, const QString& caption, MessageIcon icon) {
        m_boxes.append({text, caption, icon});
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetMessageBoxHandler(std::move(m_previous));
}
