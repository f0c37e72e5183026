// What the image page sends: the save with its checks, the full write, the
// white-balance trigger and the day/night switch test.
#include "core/protocol/link_protocol.h"
#include "core/protocol/register_map.h"
#include "gui/pages/page_host.h"
#include "gui/pages/para/dlg_para.h"
#include "gui/pages/para/save_checks.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDayNightRegister = 0x1E;
constexpr int kImageFlagsRegister = 0x09;

} // namespace

void CDlgPara::OnSave()
{
    if (!m_host.ReadyForSettings()) {
        m_host.SayNotReady();
        return;
    }
    std::array<QString, 6> texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = Item<QLineEdit>(kValueEditIds[i])->text();
    if (const std::optional<CheckFailure> failure = CheckValueTexts(texts)) {
        ShowCheckFailure(*failure);
        return;
    }
    TakeValues();
    ShowValues();
    int lowerMs = m_settings.nLowerMs;
    int upperMs = m_settings.nUpperMs;
    if (const std::optional<CheckFailure> failure = CheckExposureTimes(
            List(1034)->currentIndex(), Item<QLineEdit>(1064)->text(), Item<QLineEdit>(1065)->text(), &lowerMs, &upperMs)) {
        ShowCheckFailure(*failure);
        return;
    }
    m_settings.nLowerMs = lowerMs;
    m_settings.nUpperMs = upperMs;
    if (!m_host.ReadyForSettings()) {
        m_host.SayNotReady();
        return;
    }
    SaveSequence();
}

void CDlgPara::TakeValues()
{
    std::array<int, 6> values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = ClampPercent(WholeNumber(Item<QLineEdit>(kValueEditIds[i])->text()).value_or(0));
    SetSixValues(&m_settings, values);
}

void CDlgPara::ShowCheckFailure(const CheckFailure& failure)
{
    MessageFromTable(failure.nMessageId);
    GetDlgItem(failure.nFocusId)->setFocus();
}

void CDlgPara::SaveSequence()
{
    SaveToDevice();
    m_host.SettingsSaved();
    m_host.PauseWrites(kReadBackPauseMs);
    m_host.ReadCycle();
    m_host.AfterWrites([this] { m_host.Timers().SetTimer(CPageHost::kTimerSaveNoReply, m_host.ReplyWaitMs(2000)); });
}

void CDlgPara::SaveToDevice()
{
    m_host.BeginWrite(u"save"_s);
    for (const RegisterWrite& write : FullWrite(CurrentSettings(), m_host.Registers().data()))
        m_host.WriteRegister(write.nValue, write.nRegister);
}

void CDlgPara::OnTrigger()
{
    m_host.WriteRegister(ImageFlags(CurrentSettings(), true), kImageFlagsRegister);
}

void CDlgPara::OnSwitchTest()
{
    if (!m_host.PortOpen() || !m_host.ConfigRead()) {
        m_host.SayNotReady();
        return;
    }
    m_nSwitchCount = 0;
    m_timers.KillTimer(kTimerSwitchTest);
    m_timers.SetTimer(kTimerSwitchTest, 5000);
    GetDlgItem(1074)->setEnabled(false);
}

void CDlgPara::OnTimer(int id)
{
    if (id != kTimerSwitchTest)
        return;
    if (m_nSwitchCount == kSwitchTestLastCount) {
        m_timers.KillTimer(kTimerSwitchTest);
        GetDlgItem(1074)->setEnabled(true);
    }
    // Day (0) and night (2) alternately, 61 writes, the last one day.
    m_host.WriteRegister((m_nSwitchCount % 2) * 2, kDayNightRegister);
    ++m_nSwitchCount;
}
