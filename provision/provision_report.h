#pragma once

#include "provision/provision_camera.h"

#include <QByteArray>
#include <QString>
#include <vector>

// One camera's line of the report: a JSON object without line breaks.
// On the main thread: the time is given in the local zone.
QByteArray ReportLine(const CameraRecord& record, const ProvisionPlan& plan);

// The table printed at the end: port, versions before and after, result,
// time; below it, the next step for each camera that failed.
QString SummaryTable(const std::vector<CameraRecord>& records);

// One port's progress line: "PORT  stage  42%  9930 B/s".
QString ProgressLine(const QString& port, int portWidth, const QString& stage, int percent, qint64 bytesPerSecond);
