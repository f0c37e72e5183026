#include "provision/provision_report.h"

#include "provision/next_step_english.h"

#include <QJsonArray>
#include <cmath>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QJsonValue VersionsJson(const std::optional<FirmwareVersions>& versions)
{
    if (!versions)
        return QJsonValue::Null;
    return QJsonObject{{u"software"_s, versions->strSoftware}, {u"hardware"_s, versions->strHardware}};
}

QString VersionsCell(const std::optional<FirmwareVersions>& versions)
{
    return versions ? versions->strSoftware + u'/' + versions->strHardware : u"-"_s;
}

// Local time with its offset from UTC: "2026-12-09T14:02:11+01:00".
QString LocalTimeText(const QDateTime& utc)
{
    const QDateTime local = utc.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

QByteArray ReportLine(const CameraRecord& record, const ProvisionPlan& plan)
{
    QJsonArray images;
    for (const SentImage& image : record.images)
        images.append(QJsonObject{{u"name"_s, image.strName},
                                  {u"checksum"_s, QString::number(image.nChecksum, 16)},
                                  {u"bytes"_s, image.nBytes},
                                  {u"bytes_per_second"_s, image.nBytesPerSecond}});
    const QJsonObject line{
        {u"time"_s, LocalTimeText(record.started)},
        {u"port"_s, record.strPort},
        {u"adapter_serial"_s, record.strSerialNumber},
        {u"package"_s, plan.package ? QJsonValue(plan.strPackagePath) : QJsonValue::Null},
        {u"settings_file"_s, plan.settings ? QJsonValue(plan.strSettingsPath) : QJsonValue::Null},
        {u"before"_s, VersionsJson(record.before)},
        {u"after"_s, VersionsJson(record.after)},
        {u"images"_s, images},
        {u"skipped"_s, QJsonArray::fromStringList(record.skipped)},
        {u"settings_applied"_s, QJsonArray::fromStringList(record.appliedKeys)},
        {u"differences"_s, QJsonArray::fromStringList(record.differences)},
        {u"notes"_s, QJsonArray::fromStringList(record.notes + record.unverified)},
        {u"result"_s, record.bOk ? u"ok"_s : u"failed"_s},
        {u"reason"_s, record.strFailure},
        {u"next_step"_s, record.nextStep ? QJsonValue(NextStepInEnglish(*record.nextStep)) : QJsonValue::Null},
        {u"seconds"_s, std::round(double(record.nElapsedMs) / 100.0) / 10.0}, // as the summary shows it
    };
    return QJsonDocument(line).toJson(QJsonDocument::Compact);
}

QString SummaryTable(const std::vector<CameraRecord>& records)
{
    qsizetype portWidth = 4;
    for (const CameraRecord& record : records)
        portWidth = std::max(portWidth, record.strPort.size());
    const auto row = [portWidth](const QString& port, const QString& before, const QString& after,
                                 const QString& time, const QString& result) {
        return u"%1  %2  %3  %4  %5\n"_s.arg(port, -int(portWidth))
            .arg(before, -11)
            .arg(after, -11)
            .arg(time, 7)
            .arg(result);
    };
    QString table = row(u"port"_s, u"before"_s, u"after"_s, u"time"_s, u"result"_s);
    int failed = 0;
    for (const CameraRecord& record : records) {
        failed += record.bOk ? 0 : 1;
        table += row(record.strPort, VersionsCell(record.before), VersionsCell(record.after),
                     u"%1 s"_s.arg(double(record.nElapsedMs) / 1000.0, 0, 'f', 1),
                     record.bOk ? (QStringList{u"ok"_s} + record.unverified).join(u"; "_s)
                                : u"FAILED: "_s + record.strFailure);
    }
    table += u"(versions as software/hardware) %1 of %2 camera(s) provisioned, %3 failed\n"_s
                 .arg(records.size() - failed)
                 .arg(records.size())
                 .arg(failed);
    for (const CameraRecord& record : records) {
        if (!record.bOk && record.nextStep)
            table += u"%1: next step: %2\n"_s.arg(record.strPort, NextStepInEnglish(*record.nextStep));
    }
    return table;
}

QString ProgressLine(const QString& port, int portWidth, const QString& stage, int percent, qint64 bytesPerSecond)
{
    QString line = u"%1  %2"_s.arg(port, -portWidth).arg(stage);
    if (percent >= 0)
        line += u"  %1%  %2 B/s"_s.arg(percent, 3).arg(bytesPerSecond);
    return line;
}
