#pragma once

#include <QStringList>

// What in a search's answers is unusual for a camera: a device that answers
// every line with two hex digits, or an adapter that returns each request
// without its blanks, answers as a camera would. Such answers are not
// refused (a real camera may one day show them), only named.
//   videoCode  the answer for register 0x1F
//   hardware, software  the answers for registers 0x00 and 0x01
QStringList UnusualCameraAnswers(int videoCode, int hardware, int software);
