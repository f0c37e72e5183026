#pragma once

#include "sim/camera_model.h"
#include "sim/pty_camera.h"

#include <string>
#include <utility>
#include <vector>

struct CamsimOptions {
    CameraFaults faults;
    CameraTiming timing;
    PtyOptions pty;
    bool bFlood = false;
    bool bHelp = false;
    int nCount = 1;                               // cameras, each on its own pseudo-terminal
    std::string strCaptureDir;                    // received images are written here
    std::vector<std::pair<int, int>> registers;   // power-on values that differ from the defaults
};

// False with a message in *error for an unknown option or a bad value.
bool ParseCamsimOptions(const std::vector<std::string>& args, CamsimOptions* options, std::string* error);

std::string CamsimHelp();
