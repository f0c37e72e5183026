#pragma once

#include "provision/provision_camera.h"

#include <QString>

// A station slot's colour: grey waiting, amber working, green passed, red failed.
enum class SlotColour { Waiting, Working, Passed, Failed };

// What a slot shows for a stage its port told, in the window's language.
struct SlotStage {
    SlotColour colour = SlotColour::Working;
    QString strText;
    bool bCameraGone = false; // the port is there and answers nothing: the last camera was taken away
};
SlotStage SlotStageOf(const QString& stage);

// What a red slot says: what went wrong, in words an operator can act on,
// and on a line of its own what to do next.
QString SlotFailureText(const CameraRecord& record);

// "before V1.3/V1.2  after V1.4/V1.2"; a side not read shows "-".
QString SlotVersionsText(const CameraRecord& record);
