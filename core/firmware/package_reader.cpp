#include "core/firmware/package_reader.h"

#include "core/firmware/image_files.h"

#include <QSet>

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

// Entry methods the reader can expand and check: stored and deflated.
constexpr uLong kStored = 0;
constexpr uLong kDeflated = Z_DEFLATED;
constexpr uLong kEncryptedFlag = 0x1;

QString SizeText(qint64 bytes)
{
    constexpr qint64 kMiB = 1024 * 1024;
    return bytes % kMiB == 0 ? u"%1 MiB"_s.arg(bytes / kMiB) : u"%1 bytes"_s.arg(bytes);
}

// Why the current entry cannot be taken as it is declared, before it is read.
QString DeclarationFault(const unz_file_info64& info, qint64 totalSoFar, const PackageLimits& limits)
{
    if (info.flag & kEncryptedFlag)
        return u"is encrypted"_s;
    if (info.compression_method != kStored && info.compression_method != kDeflated)
        return u"is compressed with method %1; only stored and deflated entries can be checked"_s.arg(info.compression_method);
    const qint64 size = static_cast<qint64>(std::min<ZPOS64_T>(info.uncompressed_size, ZPOS64_T(limits.nTotalMax) + 1));
    if (size > limits.nEntryMax || totalSoFar + size > limits.nTotalMax)
        return u"unpacks to %1 bytes, more than an upgrade may (%2 for one image, %3 for the whole package)"_s
            .arg(info.uncompressed_size)
            .arg(SizeText(limits.nEntryMax), SizeText(limits.nTotalMax));
    return QString();
}

// Reads the current entry whole; an empty optional with the reason otherwise.
std::optional<QByteArray> ReadEntry(unzFile zip, const unz_file_info64& info, QString* reason)
{
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        *reason = u"cannot be opened"_s;
        return std::nullopt;
    }
    QByteArray bytes;
    char buffer[kCopyBuffer];
    int read = 0;
    while ((read = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, read);
        if (bytes.size() > static_cast<qint64>(info.uncompressed_size)) {
            unzCloseCurrentFile(zip);
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
    if (closed != UNZ_OK) {
        *reason = u"cannot be unpacked (error %1)"_s.arg(closed);
        return std::nullopt;
    }
    return bytes;
}

// The walk over the archive's entries, refusing the package at the first fault.
class PackageWalk {
public:
    PackageWalk(unzFile zip, const PackageLimits& limits) : m_zip(zip), m_limits(limits) {}

    std::optional<PackageContents> Run(PackageError* error)
    {
        unz_global_info64 global{};
        if (unzGetGlobalInfo64(m_zip, &global) != UNZ_OK)
            return Refuse(error, PackageFault::NotAZip, u"not a readable zip archive"_s);
        int step = unzGoToFirstFile(m_zip);
        for (; step == UNZ_OK; step = unzGoToNextFile(m_zip)) {
            if (!TakeEntry(error))
                return std::nullopt;
        }
        if (step != UNZ_END_OF_LIST_OF_FILE || m_nWalked != global.number_entry)
            return Refuse(error, PackageFault::BadEntry,
                          u"its list of entries is damaged (%1 of %2 entries readable)"_s.arg(m_nWalked).arg(global.number_entry));
        const bool anyImage = std::any_of(m_contents.entries.begin(), m_contents.entries.end(),
                                          [](const PackageEntry& entry) { return ImageKindForName(entry.strName) != ImageKind::Other; });
        if (!anyImage)
            return Refuse(error, PackageFault::NoImages,
                          u"it holds no image (names ending in elf.flash, sof.flash or font.flash)"_s);
        return std::move(m_contents);
    }

private:
    bool TakeEntry(PackageError* error)
    {
        ++m_nWalked;
        char rawName[kNameBuffer + 1] = {};
        unz_file_info64 info{};
        const bool described = unzGetCurrentFileInfo64(m_zip, &info, rawName, kNameBuffer, nullptr, 0, nullptr, 0) == UNZ_OK;
        const QString name = QString::fromLocal8Bit(rawName); // terminated above: minizip may fill the buffer
        const QString shown = described ? PrintableName(name) : u"entry %1"_s.arg(m_nWalked);
        const auto bad = [&](const QString& reason) {
            Refuse(error, PackageFault::BadEntry, shown + u": "_s + reason);
            return false;
        };
        if (!described)
            return bad(u"cannot be read"_s);
        if (info.size_filename > uLong(kNameBuffer))
            return bad(u"its name is longer than %1 bytes"_s.arg(kNameBuffer));
        // Every entry counts, those left out too: each of them costs a log line.
        if (m_nWalked > ZPOS64_T(m_limits.nMaxImages))
            return bad(u"the package holds more than %1 files, more than an upgrade takes"_s.arg(m_limits.nMaxImages));
        if (!IsPlainEntryName(name)) {
            m_contents.skipped.append(u"%1: not a plain file name, left out"_s.arg(shown));
            return true;
        }
        if (QString fault = DeclarationFault(info, m_nTotal, m_limits); !fault.isEmpty())
            return bad(fault);
        if (m_names.contains(name.toCaseFolded()))
            return bad(u"the package holds two entries of this name"_s);
        QString reason;
        std::optional<QByteArray> bytes = ReadEntry(m_zip, info, &reason);
        if (!bytes)
            return bad(reason);
        if (bytes->isEmpty() && ImageKindForName(name) != ImageKind::Other)
            return bad(u"the image is empty: a camera would flash nothing"_s);
        m_nTotal += bytes->size();
        m_names.insert(name.toCaseFolded());
        m_contents.entries.push_back({name, std::move(*bytes)});
        return true;
    }

    static std::nullopt_t Refuse(PackageError* error, PackageFault fault, const QString& detail)
    {
        *error = {fault, detail};
        return std::nullopt;
    }

    unzFile m_zip;
    const PackageLimits& m_limits;
    PackageContents m_contents;
    QSet<QString> m_names; // case-folded: "A.elf.flash" and "a.elf.flash" would be one file on some disks
    qint64 m_nTotal = 0;
    ZPOS64_T m_nWalked = 0;
};

} // namespace

bool IsPlainEntryName(const QString& name)
{
    return !name.isEmpty() && name != u"." && !name.contains(u'/') && !name.contains(u'\\') && !name.contains(u".."_s)
        && !name.contains(u':');
}

std::optional<PackageContents> ReadPackage(const QByteArray& package, const PackageLimits& limits, PackageError* error)
{
    if (!package.startsWith("QZ")) {
        *error = {PackageFault::NotTagged, u"it does not start with \"QZ\""_s};
        return std::nullopt;
    }
    zlib_filefunc64_def functions{OpenMemory,  ReadMemory,  WriteMemory,
                                  TellMemory,  SeekMemory,  CloseMemory,
                                  ErrorMemory, const_cast<QByteArray*>(&package)}; // only ever read
    unzFile zip = unzOpen2_64("package", &functions);
    if (!zip) {
        *error = {PackageFault::NotAZip, u"not a readable zip archive"_s};
        return std::nullopt;
    }
    std::optional<PackageContents> contents = PackageWalk(zip, limits).Run(error);
    unzClose(zip);
    return contents;
}
