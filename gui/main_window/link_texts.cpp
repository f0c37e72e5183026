#include "gui/main_window/link_texts.h"

#include "core/config/printable_text.h"
#include "gui/resources/next_step_text.h"
#include "core/config/network_address.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

using namespace Qt::StringLiterals;

QString CommErrorText(const CommErrorReport& report)
{
    const QString text = u"WARNING:  %1 Failed with the following error: \n%2\nPort: %3\n"_s
                             .arg(report.strStep, report.strSystemText)
                             .arg(report.nPortNumber);
    // The window reopens a lost device by itself once it is back.
    return report.bDeviceLost ? text + NextStepText(NextStepForLostLine(report.bBehindServer)) : text;
}

QString LineTip(const QString& device, bool echoes, int roundTripMs)
{
    QString tip = device;
    if (echoes)
        tip += u'\n' + LoadString(Ids::LineEchoes);
    if (IsNetworkName(device))
        tip += u'\n' + LoadString(Ids::RoundTrip).arg(roundTripMs);
    return tip;
}

QString OpenFailureNextStep(const PortOpenError& error)
{
    if (error.bHeld)
        return u'\n' + NextStepText(NextStep::FreePort);
    if (IsNetworkName(error.strDevice))
        return u'\n' + NextStepText(NextStep::CheckServer);
    return QString();
}

QString ReadFailureDetail(const ReadFailure& failure)
{
    const QString reg = QString::number(failure.nRegister, 16).toUpper().rightJustified(2, u'0');
    const QString answer = PrintableName(QString::fromLatin1(failure.answer));
    switch (failure.What()) {
    case ReadFailure::Kind::NoAnswer: return LoadString(Ids::ReadNoAnswer).arg(reg).arg(failure.nTries);
    case ReadFailure::Kind::CutShort: return LoadString(Ids::ReadCutShort).arg(reg, answer).arg(failure.nTries);
    case ReadFailure::Kind::Malformed: break;
    }
    return LoadString(Ids::ReadMalformed).arg(reg, answer).arg(failure.nTries);
}

QString ReadFailureNextStep(const QString& refusedByServer)
{
    if (refusedByServer.isEmpty())
        return NextStepText(NextStep::SearchOrRecover);
    return refusedByServer + u'\n' + NextStepText(NextStep::CheckServer);
}
