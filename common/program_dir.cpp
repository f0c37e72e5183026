#include "common/program_dir.h"

#include <QCoreApplication>

QString GetProgramDir()
{
    static const QString dir = QCoreApplication::applicationDirPath();
    return dir;
}

QString ConfigIniPath()
{
    return GetProgramDir() + u"/config.ini";
}
