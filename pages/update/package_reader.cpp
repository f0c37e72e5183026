#include "pages/update/package_reader.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

constexpr int kNameBuffer = 260;
constexpr int kCopyBuffer = 1024;

// The package in memory, as minizip's file functions see it: bytes 0 and 1
// read "PK" where the package holds its "QZ" tag, so nothing is copied or
// written to untag it.
struct MemoryFile {
    const QByteArray* bytes;
    ZPOS64_T position = 0;
};

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void* /*filename*/, int /*mode*/)
{
    return new MemoryFile{static_cast<const QByteArray*>(opaque)};
}

uLong ZCALLBACK ReadMemory(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size)
{
    auto* file = static_cast<MemoryFile*>(stream);
    const ZPOS64_T total = static_cast<ZPOS64_T>(file->bytes->size());
    const uLong count = file->position >= total ? 0 : static_cast<uLong>(std::min<ZPOS64_T>(size, total - file->position));
    std::memcpy(buffer, file->bytes->constData() + file->position, count);
    static constexpr char kZipSignature[] = "PK";
    for (ZPOS64_T at = file->position; at < 2 && at < file->position + count; ++at)
        static_cast<char*>(buffer)[at - file->position] = kZipSignature[at];
    file->position += count;
    return count;
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong)
{
    return 0; // the package is only ever read
}

ZPOS64_T ZCALLBACK TellMemory(voidpf /*opaque*/, voidpf stream)
{
    return static_cast<MemoryFile*>(stream)->position;
}

long ZCALLBACK SeekMemory(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* file = static_cast<MemoryFile*>(stream);
    const ZPOS64_T total = static_cast<ZPOS64_T>(file->bytes->size());
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_CUR: base = file->position; break;
    case ZLIB_FILEFUNC_SEEK_END: base = total; break;
    default: break;
    }
    if (offset > total || base + offset > total)
        return -1;
    file->position = base + offset;
    return 0;
}

int ZCALLBACK CloseMemory(voidpf /*opaque*/, voidpf stream)
{
    delete static_cast<MemoryFile*>(stream);
    return 0;
}

int ZCALLBACK ErrorMemory(voidpf, voidpf)
{
    return 0;
}

// Reads the current entry whole; an empty optional with the reason otherwise.
std::optional<QByteArray> ReadEntry(unzFile zip, const unz_file_info64& info, qint64 room, qint64 entryMax,
                                    QString* reason)
{
    if (static_cast<qint64>(info.uncompressed_size) > std::min(room, entryMax)) {
        *reason = u"unpacks to %1 bytes, more than an upgrade may (%2 bytes for one image, %3 in all)"_s
                      .arg(info.uncompressed_size)
                      .arg(entryMax)
                      .arg(room);
        return std::nullopt;
    }
    QByteArray bytes;
    char buffer[kCopyBuffer];
    int read = 0;
    while ((read = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, read);
        if (bytes.size() > static_cast<qint64>(info.uncompressed_size)) {
            *reason = u"holds more than its declared %1 bytes"_s.arg(info.uncompressed_size);
            return std::nullopt;
        }
    }
    const int closed = unzCloseCurrentFile(zip);
    if (read < 0) {
        *reason = u"cannot be unpacked (error %1)"_s.arg(read);
        return std::nullopt;
    }
    // minizip checks the CRC only when every declared byte was read: a short
    // entry closes cleanly, so its length is compared here.
    if (bytes.size() != static_cast<qint64>(info.uncompressed_size)) {
        *reason = u"ends after %1 of its %2 bytes"_s.arg(bytes.size()).arg(info.uncompressed_size);
        return std::nullopt;
    }
    if (closed == UNZ_CRCERROR) {
        *reason = u"fails its CRC check"_s;
        return std::nullopt;
    }
    return bytes;
}

} // namespace

bool IsPlainEntryName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && !name.contains(u".."_s)
        && !name.contains(u':');
}

std::optional<PackageContents> ReadPackage(const QByteArray& package, const std::function<bool(const QString&)>& accept,
                                           const PackageLimits& limits, PackageFault* fault)
{
    if (!package.startsWith("QZ")) {
        *fault = PackageFault::NotTagged;
        return std::nullopt;
    }
    zlib_filefunc64_def functions{OpenMemory,  ReadMemory,  WriteMemory,
                                  TellMemory,  SeekMemory,  CloseMemory,
                                  ErrorMemory, const_cast<QByteArray*>(&package)}; // only ever read
    unzFile zip = unzOpen2_64("package", &functions);
    if (!zip) {
        *fault = PackageFault::NotAZip;
        return std::nullopt;
    }

    PackageContents contents;
    qint64 total = 0;
    for (int step = unzGoToFirstFile(zip); step == UNZ_OK; step = unzGoToNextFile(zip)) {
        char rawName[kNameBuffer + 1] = {};
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, rawName, kNameBuffer, nullptr, 0, nullptr, 0) != UNZ_OK)
            continue;
        const QString name = QString::fromLocal8Bit(rawName); // terminated above: minizip may fill the buffer
        if (!IsPlainEntryName(name)) {
            contents.skipped.append(u"%1: not a plain file name, left out"_s.arg(name));
            continue;
        }
        if (!accept(name))
            continue;
        if (static_cast<int>(contents.entries.size()) >= limits.nMaxImages) {
            contents.skipped.append(u"%1: more than %2 images, left out"_s.arg(name).arg(limits.nMaxImages));
            continue;
        }
        if (unzOpenCurrentFile(zip) != UNZ_OK) {
            contents.skipped.append(u"%1: cannot be opened in the package, left out"_s.arg(name));
            continue;
        }
        QString reason;
        const std::optional<QByteArray> bytes = ReadEntry(zip, info, limits.nTotalMax - total, limits.nEntryMax, &reason);
        if (!bytes) {
            unzCloseCurrentFile(zip);
            contents.skipped.append(u"%1: %2, left out"_s.arg(name, reason));
            continue;
        }
        total += bytes->size();
        contents.entries.push_back({name, *bytes});
    }
    unzClose(zip);
    return contents;
}
