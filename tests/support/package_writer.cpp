#include "tests/support/package_writer.h"

#include <minizip/zip.h>

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

QByteArray ZipArchive(const PackageEntries& entries, int method)
{
    QTemporaryDir dir;
    const QByteArray path = (dir.path() + u"/package.zip"_s).toLocal8Bit();
    zipFile zip = zipOpen(path.constData(), APPEND_STATUS_CREATE);
    for (const auto& [name, bytes] : entries) {
        zip_fileinfo info{};
        zipOpenNewFileInZip(zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, method, Z_DEFAULT_COMPRESSION);
        zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    return FileBytes(QString::fromLocal8Bit(path));
}

QByteArray Tagged(QByteArray zip)
{
    zip[0] = 'Q';
    zip[1] = 'Z';
    return zip;
}

void WritePackage(const QString& path, const PackageEntries& entries, bool tag)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    const QByteArray zip = ZipArchive(entries);
    file.write(tag ? Tagged(zip) : zip);
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void PatchZipRecords(QByteArray& zip, const QByteArray& signature, int offset, quint16 value, bool orIn)
{
    for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 4)) {
        const quint16 old = quint16(quint8(zip[at + offset]) | quint8(zip[at + offset + 1]) << 8);
        const quint16 now = orIn ? quint16(old | value) : value;
        zip[at + offset] = char(now & 0xFF);
        zip[at + offset + 1] = char(now >> 8);
    }
}
