// The image page's controls: initialisation, the fill from the registers,
// the default settings and the enabling rules.
#include "gui/pages/para/dlg_para.h"

#include "core/config/ini_file.h"
#include "core/config/program_dir.h"
#include "core/protocol/register_map.h"
#include "gui/pages/page_host.h"
#include "gui/pages/para/save_checks.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

using namespace Qt::StringLiterals;

CDlgPara::CDlgPara(CPageHost& host, QWidget* parent)
    : CTemplatePage(Ids::DialogPara, parent), m_host(host), m_timers([this](int id) { OnTimer(id); }, this)
{
    // The edits stay empty until a read succeeds: a 0 would look as if read.
    // The day/night switch test is offered only where config.ini asks for it.
    if (ReadIniInt(ConfigIniPath(), u"PathInfo"_s, u"showSwith"_s, 0) == 0)
        GetDlgItem(1074)->hide();

    const auto onClick = [this](int id, void (CDlgPara::*handler)()) {
        connect(qobject_cast<QAbstractButton*>(GetDlgItem(id)), &QAbstractButton::clicked, this, handler);
    };
    onClick(1062, &CDlgPara::OnSave);
    onClick(1069, &CDlgPara::OnDefault);
    onClick(1043, &CDlgPara::OnTrigger);
    onClick(1074, &CDlgPara::OnSwitchTest);
    onClick(1035, &CDlgPara::OnGainClick);
    onClick(1014, &CDlgPara::OnContrastClick);
    onClick(1015, &CDlgPara::OnBacklightClick);
    onClick(1060, &CDlgPara::OnSceneClick);
    connect(List(1034), &QComboBox::currentIndexChanged, this, &CDlgPara::OnShutterChange);
    connect(List(1042), &QComboBox::currentIndexChanged, this, &CDlgPara::OnWhiteBalanceChange);
}

QComboBox* CDlgPara::List(int id) const
{
    return Item<QComboBox>(id);
}

QCheckBox* CDlgPara::Box(int id) const
{
    return Item<QCheckBox>(id);
}

ExposureChoice CDlgPara::Exposure() const
{
    return {List(1034)->currentIndex(), double(m_settings.nLowerMs), double(m_settings.nUpperMs)};
}

void CDlgPara::ShowValues()
{
    const std::array<int, 6> values = SixValues(m_settings);
    for (std::size_t i = 0; i < values.size(); ++i)
        Item<QLineEdit>(kValueEditIds[i])->setText(QString::number(values[i]));
}

void CDlgPara::FillShutterList(int videoCode)
{
    const QString items = LoadString(Uses60HzShutterList(videoCode) ? Ids::Shutter60Hz : Ids::Shutter50Hz);
    QComboBox* shutter = List(1034);
    const QSignalBlocker quiet(shutter); // the shutter rule runs once, at its step of the fill
    shutter->clear();
    shutter->addItems(items.split(u';', Qt::SkipEmptyParts));
    shutter->setCurrentIndex(-1);
}

void CDlgPara::LoadFromRegisterImage()
{
    const ImageSettings camera = DecodeImageSettings(m_host.Registers().data());
    Item<QLineEdit>(1070)->setText(VersionText(camera.nHardwareVersion));
    Item<QLineEdit>(1071)->setText(VersionText(camera.nSoftwareVersion));
    GetDlgItem(1037)->setEnabled(camera.bIrisOffered);

    FillShutterList(camera.nVideoCode);
    if (camera.bUserTimes) {
        Item<QLineEdit>(1064)->setText(QString::number(camera.nLowerMs));
        Item<QLineEdit>(1065)->setText(QString::number(camera.nUpperMs));
    }
    ShowAll(camera);
}

void CDlgPara::ShowAll(const ImageSettings& settings)
{
    m_settings = settings;
    SetCurrentSettings(settings);
    ShowValues();
    OnShutterChange();
    OnWhiteBalanceChange();
    OnGainClick();
    OnBacklightClick();
}

ImageSettings CDlgPara::ShownSettings() const
{
    ImageSettings shown = CurrentSettings();
    std::array<int, 6> values = SixValues(m_settings);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = ClampPercent(WholeNumber(Item<QLineEdit>(kValueEditIds[i])->text()).value_or(values[i]));
    SetSixValues(&shown, values);
    shown.nLowerMs = WholeNumber(Item<QLineEdit>(1064)->text()).value_or(m_settings.nLowerMs);
    shown.nUpperMs = WholeNumber(Item<QLineEdit>(1065)->text()).value_or(m_settings.nUpperMs);
    return shown;
}

void CDlgPara::ShowSettings(const ImageSettings& settings)
{
    if (settings.nShutter == Shutter::Range || settings.nShutter == Shutter::Value) {
        Item<QLineEdit>(1064)->setText(QString::number(settings.nLowerMs));
        Item<QLineEdit>(1065)->setText(QString::number(settings.nUpperMs));
    }
    ShowAll(settings);
}

void CDlgPara::SetCurrentSettings(const ImageSettings& s)
{
    // A list index beyond the list leaves it without a selection.
    const auto select = [this](int id, int index) {
        QComboBox* list = List(id);
        list->setCurrentIndex(index < list->count() ? index : -1);
    };
    select(1034, s.nShutter);
    Box(1035)->setChecked(s.bAutoGain);
    select(1037, s.nIris);
    Box(1014)->setChecked(s.bContrastOn);
    GetDlgItem(1003)->setEnabled(s.bContrastOn);
    Box(1015)->setCheckState(s.nBacklightMode == BacklightMode::Automatic ? Qt::Checked
                             : s.nBacklightMode == BacklightMode::Manual  ? Qt::PartiallyChecked
                                                                          : Qt::Unchecked);
    select(1044, s.nDayNight);
    select(1042, s.nWhiteBalance);
    Box(1041)->setChecked(s.bNegative);
    Box(1039)->setChecked(s.bMirror);
    select(1038, s.nExposureCompensation);
    select(1046, s.nSharpness);
    select(1025, s.nScene);
}

ImageSettings CDlgPara::CurrentSettings() const
{
    ImageSettings s = m_settings;
    s.nShutter = List(1034)->currentIndex();
    s.bAutoGain = Box(1035)->isChecked();
    s.nIris = List(1037)->currentIndex();
    s.bContrastOn = Box(1014)->isChecked();
    const Qt::CheckState backlight = Box(1015)->checkState();
    s.nBacklightMode = backlight == Qt::Checked            ? BacklightMode::Automatic
                       : backlight == Qt::PartiallyChecked ? BacklightMode::Manual
                                                           : BacklightMode::Off;
    s.bNegative = Box(1041)->isChecked();
    s.bMirror = Box(1039)->isChecked();
    s.nExposureCompensation = List(1038)->currentIndex();
    s.nSharpness = List(1046)->currentIndex();
    s.nScene = List(1025)->currentIndex();
    s.nWhiteBalance = List(1042)->currentIndex();
    s.nDayNight = List(1044)->currentIndex();
    return s;
}

void CDlgPara::OnDefault()
{
    ImageSettings defaults = WithDefaults(m_settings);
    if (List(1034)->count() == 0)
        defaults.nShutter = Shutter::None; // no items before the first fill
    m_settings = defaults;
    SetCurrentSettings(defaults);
    Box(1060)->setChecked(true);
    GetDlgItem(1025)->setEnabled(true);
    Item<QLineEdit>(1064)->setText(u"0"_s);
    Item<QLineEdit>(1065)->setText(u"40"_s);
    ShowValues();
    OnShutterChange();
    OnGainClick();
    OnContrastClick();
    OnBacklightClick();
    OnWhiteBalanceChange();
}

void CDlgPara::OnShutterChange()
{
    const int item = List(1034)->currentIndex();
    const bool range = item == Shutter::Range;
    const bool value = item == Shutter::Value;
    for (const int id : {1066, 1064, 1068})
        GetDlgItem(id)->setVisible(range || value);
    for (const int id : {1067, 1065})
        GetDlgItem(id)->setVisible(range);
    if (range || value)
        Item<QLabel>(1066)->setText(LoadString(range ? Ids::TimePeriod : Ids::TimeValue));
}

void CDlgPara::OnGainClick()
{
    const bool automatic = Box(1035)->isChecked();
    GetDlgItem(1036)->setEnabled(!automatic);
    Box(1035)->setText(LoadString(automatic ? Ids::AutoGain : Ids::ManualGain));
}

void CDlgPara::OnContrastClick()
{
    const bool on = Box(1014)->isChecked();
    if (on) {
        Box(1015)->setCheckState(Qt::Unchecked);
        Box(1015)->setText(LoadString(Ids::Backlight));
        GetDlgItem(1006)->setEnabled(false);
    }
    GetDlgItem(1003)->setEnabled(on);
}

void CDlgPara::OnBacklightClick()
{
    const Qt::CheckState state = Box(1015)->checkState();
    if (state != Qt::Unchecked) {
        Box(1014)->setChecked(false);
        GetDlgItem(1003)->setEnabled(false);
    }
    GetDlgItem(1006)->setEnabled(state == Qt::PartiallyChecked);
    Box(1015)->setText(LoadString(state == Qt::PartiallyChecked ? Ids::ManualBacklight
                                  : state == Qt::Checked        ? Ids::AutoBacklight
                                                                : Ids::Backlight));
}

void CDlgPara::OnWhiteBalanceChange()
{
    GetDlgItem(1043)->setEnabled(List(1042)->currentIndex() == kCustomWhiteBalance);
}

void CDlgPara::OnSceneClick()
{
    GetDlgItem(1025)->setEnabled(Box(1060)->isChecked());
}

void CDlgPara::showEvent(QShowEvent* event)
{
    CTemplatePage::showEvent(event);
    // Its tab chosen (not the window coming back from an icon): read the camera again.
    if (!event->spontaneous() && m_host.PortOpen() && !m_host.UpgradeMode())
        m_host.ReadCycle();
}
