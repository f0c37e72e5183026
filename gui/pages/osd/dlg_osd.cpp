#include "gui/pages/osd/dlg_osd.h"

#include "core/config/ini_file.h"
#include "core/config/program_dir.h"
#include "core/protocol/register_map.h"
#include "gui/pages/osd/menu_keys.h"
#include "core/settings/video_formats.h"
#include "gui/pages/page_host.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "gui/widgets/popup_choice_list.h"
#include "session/window_timers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMenuRegister = 0xF1;    // 2 opens the camera's menu, 1 closes it
constexpr int kKeyRegister = 0xF2;     // 4 up, 8 down, 1 left, 2 right
constexpr int kConfirmRegister = 0xF3; // 1 confirm
constexpr int kLimitsPauseMs = 10;     // after the exposure limits of a format change
constexpr int kRestartPauseMs = 1000;  // before the camera restarts in its new format

} // namespace

CDlgOSD::CDlgOSD(CPageHost& host, QWidget* parent) : CTemplatePage(Ids::DialogOsd, parent), m_host(host)
{
    auto* formats = Item<QComboBox>(1028);
    formats->addItems(OfferedVideoFormats(ReadIniString(ConfigIniPath(), u"PathInfo"_s, u"vedioType"_s, QString(), 16)));
    formats->setCurrentIndex(-1); // nothing selected until the first fill
    MakePopupChoiceOnly(formats);  // a change restarts the camera: never by a stray key or wheel

    const auto onClick = [this](int id, void (CDlgOSD::*handler)(), int tipId) {
        auto* button = Item<QPushButton>(id);
        connect(button, &QPushButton::clicked, this, handler);
        if (tipId != 0)
            button->setToolTip(LoadString(tipId));
    };
    onClick(1052, &CDlgOSD::OnMenuToggle, 0);
    onClick(1011, &CDlgOSD::OnKeyUp, Ids::TipKeyUp);
    onClick(1020, &CDlgOSD::OnKeyDown, Ids::TipKeyDown);
    onClick(1012, &CDlgOSD::OnKeyLeft, Ids::TipKeyLeft);
    onClick(1055, &CDlgOSD::OnKeyRight, Ids::TipKeyRight);
    onClick(1026, &CDlgOSD::OnKeyOk, Ids::TipKeyOk);
    onClick(1061, &CDlgOSD::OnOsdSave, 0);
    // Only the user's choices act; the fill selects without sending.
    connect(Item<QComboBox>(1027), &QComboBox::activated, this, &CDlgOSD::OnOsdSave);
    connect(formats, &QComboBox::activated, this, &CDlgOSD::OnVideoFormatChange);
    new CMenuKeyFilter(this, [this](int key) { OnMenuKey(key); });
}

void CDlgOSD::ShowValues()
{
    Item<QLineEdit>(1047)->setText(QString::number(m_nPosH));
    Item<QLineEdit>(1048)->setText(QString::number(m_nPosV));
}

void CDlgOSD::LoadFromRegisterImage()
{
    const unsigned char* b = m_host.Registers().data();
    Item<QCheckBox>(1051)->setChecked(b[22] & 0x01);
    m_nPosH = b[24] * 256u + b[23];
    m_nPosV = b[26] * 256u + b[25];
    Item<QComboBox>(1049)->setCurrentIndex(b[27] & 0x07);
    Item<QComboBox>(1027)->setCurrentIndex(b[28] & 0x01);
    // A format that "vedioType" left out of the list leaves the selection as it was.
    auto* formats = Item<QComboBox>(1028);
    const int index = formats->findText(VideoFormatTextForCode(b[0]), Qt::MatchExactly);
    if (index >= 0)
        formats->setCurrentIndex(index);
    ShowValues();
}

void CDlgOSD::SaveToDevice()
{
    // Without a selection the camera keeps the language the last read found.
    const int language = Item<QComboBox>(1027)->currentIndex();
    m_host.BeginWrite(u"save"_s);
    m_host.WriteRegister(language >= 0 ? language : StoredRegister(m_host.Registers().data(), 0xF9), 0xF9);
    m_host.WriteRegister(1, kCommitRegister);
}

int CDlgOSD::ShownLanguage() const
{
    return Item<QComboBox>(1027)->currentIndex();
}

void CDlgOSD::ShowLanguage(int language)
{
    Item<QComboBox>(1027)->setCurrentIndex(language); // not a choice of the user's: nothing is saved
}

void CDlgOSD::OnOsdSave()
{
    if (!m_host.ReadyForSettings()) {
        m_host.SayNotReady();
        return;
    }
    SaveToDevice();
    m_host.Timers().KillTimer(CPageHost::kTimerClearLabel);
    m_host.Timers().SetTimer(CPageHost::kTimerClearLabel, 5000);
}

void CDlgOSD::OnMenuToggle()
{
    // The caption follows the click, also when the port drops the write.
    m_bMenuOpen = !m_bMenuOpen;
    Item<QPushButton>(1052)->setText(LoadString(m_bMenuOpen ? Ids::ExitMenu : Ids::EnterMenu));
    m_host.WriteRegister(m_bMenuOpen ? 2 : 1, kMenuRegister);
}

void CDlgOSD::OnKeyUp()
{
    m_host.WriteRegister(4, kKeyRegister);
}

void CDlgOSD::OnKeyDown()
{
    m_host.WriteRegister(8, kKeyRegister);
}

void CDlgOSD::OnKeyLeft()
{
    m_host.WriteRegister(1, kKeyRegister);
}

void CDlgOSD::OnKeyRight()
{
    m_host.WriteRegister(2, kKeyRegister);
}

void CDlgOSD::OnKeyOk()
{
    m_host.WriteRegister(1, kConfirmRegister);
}

void CDlgOSD::OnMenuKey(int key)
{
    switch (key) {
    case Qt::Key_Up: OnKeyUp(); break;
    case Qt::Key_Down: OnKeyDown(); break;
    case Qt::Key_Left: OnKeyLeft(); break;
    case Qt::Key_Right: OnKeyRight(); break;
    default: OnKeyOk(); break; // Return and Enter
    }
}

void CDlgOSD::OnVideoFormatChange(int index)
{
    const std::optional<VideoFormat> format = VideoFormatForText(Item<QComboBox>(1028)->itemText(index));
    if (!format)
        return;
    // The camera restarts at the end: not under an upgrade, nor into a save still going out.
    if (!m_host.ReadyForSettings()) {
        m_host.SayNotReady();
        return;
    }
    const std::array<RegisterWrite, 6> writes = VideoFormatWrites(*format, m_host.ImageExposure());
    m_host.BeginWrite(u"video format "_s + VideoFormatTextForCode(format->nCode));
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (i == kLimitWrites)
            m_host.PauseWrites(kLimitsPauseMs);
        m_host.WriteRegister(writes[i].nValue, writes[i].nRegister);
    }
    m_host.PauseWrites(kRestartPauseMs);
    // The camera restarts in its new format; the port reopens 12 s later and
    // the read that follows shows the format here and its timing on the image page.
    m_host.RestartDevice(1);
}
