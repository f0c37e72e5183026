#pragma once

#include "core/protocol/next_steps.h"

#include <QString>

class QTextStream;

// The next step in the command line's words: one sentence, lower case
// first, as it follows "next step: ".
QString NextStepInEnglish(NextStep step);

// "orvane-cli: next step: ..." on its own line of `err`.
void TellNextStep(QTextStream& err, NextStep step);
