#include "tests/support/dialog_bench.h"

#include "link/link_protocol.h"
#include "res/resource_module.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

std::string CycleRequests()
{
    std::string text;
    for (const int reg : ReadList)
        text += FormatReadCommand(reg).toStdString();
    return text;
}

QString Text(CMyCorvixDlg& dialog, int id)
{
    QWidget* widget = dialog.GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QPushButton*>(widget))
        return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    return QString();
}

DialogBench::DialogBench(const QString& pathInfo, CameraFaults faults, CameraTiming timing)
    : camera(std::move(faults), timing)
{
    if (!pathInfo.isNull())
        camera.WriteConfig(u"[PathInfo]\n"_s + pathInfo);
    ResourceModule::UseBuiltIn();
    dialog = std::make_unique<CMyCorvixDlg>();
}

bool DialogBench::OpenAndRead(const char* languageWrite)
{
    dialog->OnOpenClosePort();
    return camera.WaitReceived(CycleRequests() + languageWrite);
}
