#include "core/protocol/line_rates.h"

#include <algorithm>

namespace {

// Cameras leave the factory at 115200; 9600 is the rate installers pick
// most, then the other common ones. 43000 and 56000 are rarely set; 1200,
// 600 and 300 come last since a try there costs the most.
constexpr std::array kPreference = {115200, 9600, 19200, 38400, 57600, 4800, 2400, 56000, 43000, 1200, 600, 300};
static_assert(kPreference.size() == kLineRates.size());

} // namespace

std::vector<int> ScanOrder(int current)
{
    std::vector<int> order;
    if (std::find(kLineRates.begin(), kLineRates.end(), current) != kLineRates.end())
        order.push_back(current);
    for (const int rate : kPreference) {
        if (rate != current)
            order.push_back(rate);
    }
    return order;
}
