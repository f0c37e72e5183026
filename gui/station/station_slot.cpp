#include "gui/station/station_slot.h"

#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString Background(SlotColour colour)
{
    switch (colour) {
    case SlotColour::Waiting: return u"#d0d0d0"_s;
    case SlotColour::Working: return u"#ffc864"_s;
    case SlotColour::Passed: return u"#78d278"_s;
    case SlotColour::Failed: return u"#f07070"_s;
    }
    return QString();
}

} // namespace

CStationSlot::CStationSlot(const QString& port, QWidget* parent)
    : QFrame(parent), m_stage(new QLabel(this)), m_progress(new QProgressBar(this)), m_versions(new QLabel(this)),
      m_reason(new QLabel(this))
{
    setObjectName(u"slot"_s);
    setFrameShape(QFrame::Box);
    setMinimumWidth(230);
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(port, this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    layout->addWidget(name);
    layout->addWidget(m_stage);
    m_progress->setRange(0, 100);
    m_progress->hide();
    layout->addWidget(m_progress);
    layout->addWidget(m_versions);
    m_reason->setWordWrap(true);
    m_reason->hide();
    layout->addWidget(m_reason);
    layout->addStretch();
    SetColour(SlotColour::Waiting);
}

void CStationSlot::ShowStage(const QString& stage)
{
    const SlotStage shown = SlotStageOf(stage);
    m_stage->setText(shown.strText);
    m_progress->setVisible(stage.startsWith(u"image "));
    if (shown.colour == SlotColour::Working || shown.bCameraGone) {
        m_reason->hide(); // taken away, or the next camera is under way
        m_versions->clear();
    }
    // A result stays on its colour until the camera is taken away from a
    // port that is there: a port gone with a red camera leaves it red.
    const bool result = m_colour == SlotColour::Passed || m_colour == SlotColour::Failed;
    if (!(result && (shown.colour != SlotColour::Working && !shown.bCameraGone)))
        SetColour(shown.colour);
}

void CStationSlot::ShowProgress(int percent)
{
    m_progress->setValue(percent);
}

void CStationSlot::ShowResult(const CameraRecord& record)
{
    m_progress->hide();
    m_stage->setText(LoadString(record.bOk ? Ids::SlotDone : Ids::SlotFailed)); // before the port says so itself
    m_versions->setText(SlotVersionsText(record));
    m_reason->setVisible(!record.bOk);
    m_reason->setText(record.bOk ? QString() : SlotFailureText(record));
    SetColour(record.bOk ? SlotColour::Passed : SlotColour::Failed);
}

QString CStationSlot::StageText() const
{
    return m_stage->text();
}

QString CStationSlot::ReasonText() const
{
    return m_reason->text();
}

QString CStationSlot::VersionsText() const
{
    return m_versions->text();
}

void CStationSlot::SetColour(SlotColour colour)
{
    m_colour = colour;
    setStyleSheet(u"QFrame#slot { background: %1; }"_s.arg(Background(colour)));
}
