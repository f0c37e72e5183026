#pragma once

#include "gui/dialogs/message_box.h"

#include <QMessageBox>
#include <memory>

// The box the window shows for a MessageBox() call: the icon as the call
// asks (a warning or a stop for what went wrong), and OK.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                                            QWidget* parent);
