#pragma once

#include "core/protocol/next_steps.h"
#include "session/upgrade_run.h"

#include <QString>
#include <functional>
#include <optional>

class CCameraLink;

// What the session's upgrade run tells the command line as it goes.
struct UpgradeObserver {
    std::function<void(const RunImage&)> image = [](const RunImage&) {}; // an image's turn, before its trigger
    std::function<void(const QString& stage)> stage;
    std::function<void(int percent, qint64 bytesPerSecond, qint64 msLeft)> progress;
    std::function<void(qint64 bytes, qint64 bytesPerSecond)> sent = [](qint64, qint64) {}; // the last piece is out
    std::function<void(const RunImage&)> flashed = [](const RunImage&) {};
};

// How a run ended, in the command line's words: strFailure is empty on
// success; bOfImage when it names what befell `image`.
struct UpgradeEnd {
    QString strFailure;
    bool bOfImage = true;
    RunImage image;
    std::optional<CUpgradeRun::Result> result; // when the run came to its end
    // What the technician can do about the failure, when its words do not say it already.
    std::optional<NextStep> nextStep;
    // The line went away while the image was on its way or being stored:
    // the camera may wait for the rest of it.
    bool bLostMidImage = false;
};

// The session's upgrade run of the plan on the link's camera, waited on in
// this thread's event loop. Ctrl-C in the middle of an image completes it
// with filler the camera refuses and releases the camera; a second stops at
// once.
UpgradeEnd RunUpgradeOn(CCameraLink& link, UpgradePlan plan, const UpgradeObserver& observer);
