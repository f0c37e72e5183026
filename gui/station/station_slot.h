#pragma once

#include "gui/station/slot_texts.h"

#include <QFrame>

class QLabel;
class QProgressBar;

// One port of the station: its name, the stage, a progress bar while an
// image goes out, the versions before and after, and on red the reason.
class CStationSlot final : public QFrame {
    Q_OBJECT
public:
    CStationSlot(const QString& port, QWidget* parent);

    void ShowStage(const QString& stage); // as the port told it
    void ShowProgress(int percent);
    void ShowResult(const CameraRecord& record);

    SlotColour Colour() const { return m_colour; }
    QString StageText() const;
    QString ReasonText() const;
    QString VersionsText() const;

private:
    void SetColour(SlotColour colour);

    SlotColour m_colour = SlotColour::Waiting;
    QLabel* m_stage;
    QProgressBar* m_progress;
    QLabel* m_versions;
    QLabel* m_reason;
};
