#include "provision/next_step_english.h"

#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

// One sentence for each step, as the technician at the command line reads it.
struct Wording {
    NextStep step;
    const char16_t* text;
};

constexpr Wording kWordings[] = {
    {NextStep::RetryUpgrade,
     u"run the upgrade again; if the same report comes back, check the wiring or choose a lower rate with --baud."},
    {NextStep::CheckPackage, u"check that the package is meant for this camera, then run the upgrade again."},
    {NextStep::PowerCycleRetry, u"power the camera off and on and run the upgrade again (with 'orvane-cli upgrade "
                                u"--recover' if it answers no read); if it fails again, set the camera aside."},
    {NextStep::SearchOrRecover, u"check the wiring and the port, find the camera's rate with 'orvane-cli scan', or "
                                u"recover a camera whose firmware does not start with 'orvane-cli upgrade --recover "
                                u"PACKAGE'."},
    {NextStep::ReplugAdapter,
     u"plug the adapter in again ('orvane-cli ports' lists the ports there are), then run the command again."},
    {NextStep::CheckServer, u"check that the device server is on and reachable from here, and that its port is set "
                            u"for telnet with RFC 2217 (rfc2217://) or for raw TCP (socket://), then run the command "
                            u"again."},
    {NextStep::FreePort, u"close the other program that holds the port (a window of this tool, a terminal program), "
                         u"then run the command again."},
};

} // namespace

QString NextStepInEnglish(NextStep step)
{
    for (const Wording& wording : kWordings) {
        if (wording.step == step)
            return QString::fromUtf16(wording.text);
    }
    return QString();
}

void TellNextStep(QTextStream& err, NextStep step)
{
    err << u"orvane-cli: next step: "_s << NextStepInEnglish(step) << Qt::endl;
}
