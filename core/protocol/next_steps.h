#pragma once

#include <string_view>

// What a technician can do next after something went wrong; each front end
// says it in its own words, in one sentence.
enum class NextStep {
    RetryUpgrade,    // run the upgrade again; if it repeats, check the wiring or use a lower rate
    CheckPackage,    // the package may not be meant for this camera: check it, then run again
    PowerCycleRetry, // power the camera off and on and run the upgrade again (recover it if it no
                     // longer answers); if it fails again, set the camera aside
    SearchOrRecover, // check the wiring and the port, search for the camera's rate, or recover a
                     // camera whose firmware does not start
    ReplugAdapter,   // plug the adapter in again; the port reopens by itself
    CheckServer,     // the device server at the port's address: is it on, reachable, its port set right
    FreePort,        // close the other program that holds the port
};

// The next step when the line went away or could not be found: the
// adapter, or for a line behind a device server, the server.
NextStep NextStepForLostLine(bool behindServer);

// The next step after the camera's error report during an upgrade.
NextStep NextStepForReport(std::string_view report);
