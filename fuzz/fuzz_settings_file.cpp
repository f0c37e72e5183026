// Feeds arbitrary bytes to the settings-file reader over a camera's
// settings: whatever the text, reading must neither crash nor convert a
// number out of range, and a file it accepts must give settings that are
// written out and read back unchanged.
#include "core/settings/settings_file.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CameraSettings settings;
    QStringList keys;
    QString error;
    if (!ReadSettingsFile(file, &settings, &keys, &error))
        return 0;
    if (keys.contains(u"format"_s) || keys.contains(u"camera"_s))
        std::abort(); // what the file is, never what it sets
    const QJsonObject written = SettingsToJson(settings);
    CameraSettings again;
    if (!ReadSettingsFile(QJsonDocument(written).toJson(), &again, &keys, &error) || SettingsToJson(again) != written)
        std::abort();
    return 0;
}
