#pragma once

#include "session/ports_scan.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CLineTrace;
class QListWidget;
class QProgressBar;
class QPushButton;

// "查找相机": searches every port at once, rate by rate, and lists each
// port as its search ends, with a progress bar. A camera found can be
// chosen; closing ends the search at once. The search begins once
// `portsFree` holds: a port the window let go of may still be closing.
// Every port's bytes go to `trace`, when one is given.
class CFindCameraDlg final : public QDialog {
    Q_OBJECT
public:
    CFindCameraDlg(std::vector<PortToScan> ports, int currentBaud, std::function<bool()> portsFree,
                   std::shared_ptr<CLineTrace> trace, QWidget* parent = nullptr);
    ~CFindCameraDlg() override;

    // The camera chosen with "打开串口", once the dialog was accepted.
    const std::optional<PortScanResult>& Chosen() const { return m_chosen; }
    // The line shown for a port's result.
    static QString ResultText(const PortScanResult& result);

    void done(int result) override;

private:
    void StartScan();
    void OnPortDone(const PortScanResult& result);
    void OnOpen();

    std::vector<PortToScan> m_ports;
    int m_nCurrentBaud = 0;
    std::function<bool()> m_portsFree;
    QTimer m_waitForPorts;
    CPortsScan m_scan;
    std::vector<PortScanResult> m_found; // by the row's data
    std::optional<PortScanResult> m_chosen;
    QListWidget* m_list = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_open = nullptr;
};
