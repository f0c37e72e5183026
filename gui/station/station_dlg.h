#pragma once

#include "gui/station/station_plan.h"

#include <QDialog>
#include <QStringList>
#include <memory>
#include <vector>

class CKeptLog;
class CProvisionStation;
class CStationSlot;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "生产线": a bench of ports where an operator plugs cameras in one after
// another. The setup (ports, package, settings, report) can be locked; each
// port is a slot that goes grey, amber, green or red; counters run since the
// window opened. Each camera is provisioned as orvane-cli provision --watch
// does it, by the same station.
class CStationDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CStationDlg(QWidget* parent = nullptr);
    ~CStationDlg() override;

    // Handlers, as the buttons call them.
    void OnStart();
    void OnStop();
    void OnResetCounters();
    void OnAddPort();

    // The setup, as the widgets hold it.
    void SetPorts(const QStringList& ports); // ticked, added when not listed
    void SetPackage(const QString& path);
    void SetSettings(const QString& path);
    void SetReport(const QString& path);
    void SetBaud(int baud);
    void SetLocked(bool locked);

    bool Running() const { return m_station != nullptr; }
    const std::vector<CStationSlot*>& Slots() const { return m_slots; }
    QString CountersText() const;
    QString PackageSummary() const;
    QString SettingsSummary() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape: as the close button, which asks while cameras are under way

private:
    QWidget* MakeSetup();
    QLineEdit* AddFileRow(QGridLayout* grid, int row, int labelId, const QString& filter);
    QStringList TickedPorts() const;
    bool PortsFree(const QStringList& ports) const;
    void ShowSlots(const QStringList& ports);
    void ShowSummaries();
    void Keep(const QString& port, const QString& text);
    void Provisioned(int port, const CameraRecord& record);
    void Finished();
    void ShowRunning();

    QListWidget* m_ports;
    QLineEdit* m_package;
    QLineEdit* m_settings;
    QLineEdit* m_report;
    QComboBox* m_baud;
    QLabel* m_packageSummary;
    QLabel* m_settingsSummary;
    CSetupFile m_packageFile{CSetupFile::Kind::Package};
    CSetupFile m_settingsFile{CSetupFile::Kind::Settings};
    QCheckBox* m_lock;
    QWidget* m_setup;
    QPushButton* m_start;
    QPushButton* m_stop;
    QLabel* m_counters;
    QGridLayout* m_slotGrid;
    std::vector<CStationSlot*> m_slots;
    QStringList m_runPorts;
    int m_nPassed = 0;
    int m_nFailed = 0;
    std::unique_ptr<CKeptLog> m_log;
    std::unique_ptr<CProvisionStation> m_station;
    bool m_bCloseWhenStopped = false;
};

// Opens the station over `parent`, until it is closed.
void OpenStation(QWidget* parent);
