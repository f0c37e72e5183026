#pragma once

#include "cli/cli_commands.h"
#include "provision/provision_camera.h"

#include <QStringList>
#include <vector>

// The ports' progress on standard output, told on the main thread. On a
// terminal every port keeps one line, redrawn in place (Redraw); otherwise
// each stage of each port is a line of its own.
class CProvisionBoard {
public:
    CProvisionBoard(CliStreams& io, const QStringList& ports);

    void Stage(int port, const QString& stage);
    void Progress(int port, int percent, qint64 bytesPerSecond);
    void Finished(int port, const CameraRecord& record);
    // provision --watch: the cameras passed and failed so far, below the ports.
    void Counted(int passed, int failed);
    // Terminal only: draws the lines that changed since the last call.
    void Redraw();

private:
    struct Line {
        QString strStage;
        int nPercent = -1;
        qint64 nRate = 0;
    };

    CliStreams& m_io;
    QStringList m_ports;
    int m_nPortWidth = 0;
    std::vector<Line> m_lines;
    QString m_strCounters; // empty until counted
    bool m_bDrawn = false;
    bool m_bCountersDrawn = false;
    bool m_bChanged = true;
};
