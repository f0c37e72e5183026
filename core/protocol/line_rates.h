#pragma once

#include <array>
#include <vector>

// The rates the window offers, in list order (the baud list's items).
inline constexpr std::array kLineRates = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 43000, 56000, 57600, 115200};

// The order a search for a silent camera tries the rates in: `current`
// first (when it is one of kLineRates), then the rates cameras are set to
// most often, fast ones before slow ones, and the slowest last, where each
// try costs the most. Every rate of kLineRates exactly once.
std::vector<int> ScanOrder(int current);
