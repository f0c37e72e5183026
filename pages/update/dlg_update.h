#pragma once

#include "ui/template_page.h"

// The upgrade page (template 145): the upgrade package, the progress bar and
// the time-stamped log.
class CDlgUpdate final : public CTemplatePage {
    Q_OBJECT
public:
    explicit CDlgUpdate(QWidget* parent = nullptr);

    // Adds one line to the log, behind the local time as "hh:mm:ss  ".
    // The text carries its own line end. Beyond 20 000 characters the log
    // starts afresh.
    void AppendLog(const QString& text);
};
