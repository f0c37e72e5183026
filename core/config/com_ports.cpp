#include "config/com_ports.h"

#include "config/ini_file.h"
#include "config/program_dir.h"

using namespace Qt::StringLiterals;

QString ResolvePortName(unsigned nPort)
{
    const QString key = u"COM%1"_s.arg(nPort);
    const QString mapped = ReadIniString(ConfigIniPath(), u"Ports"_s, key, QString(), 260);
    if (!mapped.isEmpty())
        return mapped;
#ifdef Q_OS_WIN
    return key;
#else
    return u"/dev/ttyS%1"_s.arg(nPort == 0 ? 0 : nPort - 1);
#endif
}
