#include "core/firmware/image_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

ImageKind ImageKindForName(const QString& name)
{
    if (name.endsWith(u"elf.flash"_s))
        return ImageKind::Elf;
    if (name.endsWith(u"sof.flash"_s))
        return ImageKind::Sof;
    if (name.endsWith(u"ont.flash"_s))
        return ImageKind::Font;
    return ImageKind::Other;
}

QString ImageVersion(const QString& name)
{
    const QString tail = name.mid(name.lastIndexOf(u'_') + 1);
    const qsizetype first = tail.indexOf(u'.');
    if (first < 0 || first + 1 >= tail.size())
        return QString();
    const qsizetype second = tail.indexOf(u'.', first + 1);
    return second < 0 ? QString() : tail.left(second);
}

int CheckImageName(const QString& name, const QString& softwareShown, const QString& hardwareShown)
{
    const ImageKind kind = ImageKindForName(name);
    if (kind != ImageKind::Elf && kind != ImageKind::Sof)
        return 1;
    const QString& shown = kind == ImageKind::Elf ? softwareShown : hardwareShown;
    return ImageVersion(name).compare(shown, Qt::CaseInsensitive) == 0 ? 0 : 1;
}

bool DeleteTree(const QString& dir)
{
    const QDir directory(dir);
    const QFileInfoList entries =
        directory.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink()) {
            QFile::remove(entry.absoluteFilePath()); // the link, never its target
        } else if (entry.isDir()) {
            DeleteTree(entry.absoluteFilePath());
        } else {
            QFile::setPermissions(entry.absoluteFilePath(), entry.permissions() | QFile::WriteOwner);
            QFile::remove(entry.absoluteFilePath());
        }
    }
    QDir().rmdir(dir);
    return true;
}

TempDirChoice PrepareTempDir(const QString& programDir, const QString& perUserDir)
{
    const auto prepare = [](const QString& base) {
        const QString temp = base + u"/temp"_s;
        if (!QDir().mkpath(temp))
            return QString();
        QTemporaryDir run(temp + u"/run-XXXXXX"_s); // made by this call alone, 0700
        run.setAutoRemove(false);
        return run.isValid() ? run.path() : QString();
    };
    if (const QString run = prepare(programDir); !run.isEmpty())
        return {run, false};
    if (const QString run = prepare(perUserDir); !run.isEmpty())
        return {run, true};
    return {};
}
