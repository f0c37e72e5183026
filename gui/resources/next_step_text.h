#pragma once

#include "core/protocol/next_steps.h"

#include <QString>

// The window's sentence for a next step, in the language in use.
QString NextStepText(NextStep step);

// What went wrong, and on a line of its own below it what to do next.
QString WithNextStep(const QString& text, NextStep step);
