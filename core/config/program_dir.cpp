#include "core/config/program_dir.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

QString GetProgramDir()
{
    static const QString dir = QCoreApplication::applicationDirPath();
    return dir;
}

QString ConfigIniPath()
{
    const QString beside = GetProgramDir() + u"/config.ini"_s;
    if (QFileInfo::exists(beside))
        return beside;
    const QString perUser = PerUserConfigIniPath();
    return QFileInfo::exists(perUser) ? perUser : beside;
}

QString PerUserConfigIniPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/orvane-config/config.ini"_s;
}
