#include "core/settings/camera_identity.h"

#include "core/settings/image_settings.h"

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

namespace {

// The codes register 0x1F holds for the formats a camera offers.
constexpr int kVideoCodes[] = {0x00, 0x01, 0x02, 0x03, 0x10, 0x11};

} // namespace

QStringList UnusualCameraAnswers(int videoCode, int hardware, int software)
{
    QStringList unusual;
    if (std::find(std::begin(kVideoCodes), std::end(kVideoCodes), videoCode) == std::end(kVideoCodes))
        unusual.append(u"video format code 0x%1 is none a camera uses"_s.arg(
            QString::number(videoCode, 16).rightJustified(2, u'0').toUpper()));
    // A version counts from V1.0; a byte of 0 is what a line that answers anything gives.
    if (hardware == 0)
        unusual.append(u"hardware version %1"_s.arg(VersionText(hardware)));
    if (software == 0)
        unusual.append(u"software version %1"_s.arg(VersionText(software)));
    return unusual;
}
