#include "core/config/user_settings.h"

using namespace Qt::StringLiterals;

QSettings UserSettings()
{
    return QSettings(u"Orvane"_s, u"orvane-config"_s);
}
