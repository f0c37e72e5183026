#pragma once

#include "common/message_box.h"

#include <QList>
#include <QString>

// Records every message box instead of showing it, for as long as it lives.
// A box the test never read through Boxes() fails the test.
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

    const QList<Box>& Boxes() const;

private:
    QList<Box> m_boxes;
    mutable qsizetype m_nSeen = 0;
    MessageBoxHandler m_previous;
};
