#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class CCameraLink;

// One image of a package, as the exchange sends it.
struct UpgradeImage {
    QString strName; // as it is shown: control characters escaped
    QByteArray bytes;
    int nKind = 0; // 0 elf, 1 sof, 2 font
    int nChecksum = 0;
};

// What the exchange tells its user as it goes.
struct UpgradeObserver {
    std::function<void(const QString& stage)> stage;
    std::function<void(int percent, qint64 bytesPerSecond, qint64 msLeft)> progress;
    std::function<void(qint64 bytes, qint64 bytesPerSecond)> sent = [](qint64, qint64) {}; // the last piece is out
};

// The window's exchange for one image, without a window: the restart trigger,
// then the session's upgrade exchange, waited on in this thread's event loop.
// Empty on success, else what went wrong. Ctrl-C stops it between pieces and
// releases the camera.
QString SendImage(CCameraLink& link, const UpgradeImage& image, const UpgradeObserver& observer);
