#include "gui/widgets/message_box_widget.h"

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                                            QWidget* parent)
{
    const QMessageBox::Icon boxIcon = icon == MessageIcon::Stop      ? QMessageBox::Critical
                                      : icon == MessageIcon::Warning ? QMessageBox::Warning
                                      : icon == MessageIcon::Question ? QMessageBox::Question
                                                                     : QMessageBox::Information;
    return std::make_unique<QMessageBox>(boxIcon, caption, text, QMessageBox::Ok, parent);
}
