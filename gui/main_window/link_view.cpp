#include "gui/main_window/link_view.h"

#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

LinkView ViewOfLink(bool portOpen, bool configRead, const LastRead& lastRead)
{
    if (portOpen && configRead)
        return {true, QString()};
    const QString why = LoadString(portOpen ? Ids::WhyNotRead : Ids::WhyPortClosed);
    const QString values = lastRead.at.isValid()
                               ? LoadString(Ids::ValuesFromLastRead)
                                     .arg(lastRead.strPort, lastRead.at.toString(QStringLiteral("HH:mm:ss")))
                               : LoadString(Ids::NoValuesRead);
    return {false, why + u'\n' + values};
}
