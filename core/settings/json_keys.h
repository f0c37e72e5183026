#pragma once

#include <QByteArray>
#include <QString>

// The first key that an object of the JSON text holds twice, as a path
// ("brightness", or "shutter.fixed_ms" inside an object); empty when every
// key is unique. A JSON parser keeps the last of two equal keys without a
// word, so "brightness": 1000, "brightness": 60 would pass as 60. The text
// must be valid JSON.
QString FirstDuplicateKey(const QByteArray& json);
