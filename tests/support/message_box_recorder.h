#pragma once

#include "common/message_box.h"

#include <QList>
#include <QString>

// Records every message box instead of showing it, for as long as it lives.
class MessageBoxRecorder {
public:
    struct Box {
        QString text;
        QString caption;
        MessageIcon icon;
    };

    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const QList<Box>& Boxes() const { return m_boxes; }
    void Clear() { m_boxes.clear(); }

private:
    QList<Box> m_boxes;
    MessageBoxHandler m_previous;
};
