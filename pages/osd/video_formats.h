#pragma once

#include <QStringList>

// The eight video formats, in their fixed order.
QStringList VideoFormatTexts();

// The formats offered for config.ini's "vedioType": with exactly eight
// characters, format i when character i is '1'; otherwise all eight.
QStringList OfferedVideoFormats(const QString& vedioType);
