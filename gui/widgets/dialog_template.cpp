#include "gui/widgets/dialog_template.h"

#include "gui/resources/resource_module.h"
#include "gui/widgets/three_state_check_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTextEdit>
#include <QWidget>

using namespace Qt::StringLiterals;

QSize DialogBaseUnits(const QFontMetrics& metrics)
{
    const int width = metrics.horizontalAdvance(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"_s);
    return QSize((width / 26 + 1) / 2, metrics.height());
}

QRect MapDialogRect(const QRect& units, QSize baseUnits)
{
    const auto x = [&](int v) { return v * baseUnits.width() / 4; };
    const auto y = [&](int v) { return v * baseUnits.height() / 8; };
    return QRect(x(units.x()), y(units.y()), x(units.width()), y(units.height()));
}

QFont DialogFont(const char* face, int pointSize)
{
    QFont font;
    font.setFamilies({QString::fromUtf8(face), u"SimSun"_s, u"WenQuanYi Micro Hei"_s, u"Noto Sans CJK SC"_s});
    font.setPointSize(pointSize);
    return font;
}

QString CTemplateControls::Build(QWidget* dialog, int templateId)
{
    const DialogTemplate* tmpl = ResourceModule::Current().Dialog(templateId);
    if (!tmpl)
        return QString();
    const QFont font = DialogFont(tmpl->fontFace, tmpl->pointSize);
    dialog->setFont(font);
    m_baseUnits = DialogBaseUnits(QFontMetrics(font));
    dialog->resize(MapDialogRect(QRect(0, 0, tmpl->cx, tmpl->cy), m_baseUnits).size());
    QWidget* previous = nullptr;
    for (int i = 0; i < tmpl->controlCount; ++i) {
        const ControlTemplate& control = tmpl->controls[i];
        QWidget* widget = CreateControl(dialog, control);
        NameAfterCaption(widget, previous);
        previous = widget;
        widget->setObjectName(u"control%1"_s.arg(control.id));
        if (control.flags & ControlFlag::Hidden)
            widget->setHidden(true);
        if (control.flags & ControlFlag::Disabled)
            widget->setEnabled(false);
        if (control.id != kNoControlId)
            m_items.insert(control.id, widget);
    }
    return QString::fromUtf8(tmpl->caption);
}

void CTemplateControls::NameAfterCaption(QWidget* field, QWidget* caption)
{
    // An edit or list is named by the label or check box just before it in
    // the template, so assistive technology reads "亮度" for the brightness
    // edit, and a label's mnemonic moves the focus to its field.
    if (!caption || (!qobject_cast<QLineEdit*>(field) && !qobject_cast<QComboBox*>(field)))
        return;
    QString name;
    if (auto* label = qobject_cast<QLabel*>(caption)) {
        label->setBuddy(field);
        name = label->text();
    } else if (auto* box = qobject_cast<QCheckBox*>(caption)) {
        name = box->text();
    }
    if (!name.isEmpty())
        field->setAccessibleName(name);
}

QWidget* CTemplateControls::CreateControl(QWidget* dialog, const ControlTemplate& control)
{
    const QString text = QString::fromUtf8(control.text);
    QRect geometry = MapDialogRect(QRect(control.x, control.y, control.cx, control.cy), m_baseUnits);
    QWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::GroupBox:
        widget = new QGroupBox(text, dialog);
        break;
    case ControlKind::Label:
        widget = new QLabel(text, dialog);
        break;
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(text, dialog);
        edit->setReadOnly(control.flags & ControlFlag::ReadOnly);
        if (control.flags & ControlFlag::DigitsOnly)
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), edit));
        widget = edit;
        break;
    }
    case ControlKind::ComboDropDown:
    case ControlKind::ComboDropList: {
        auto* combo = new QComboBox(dialog);
        combo->setEditable(control.kind == ControlKind::ComboDropDown);
        if (control.items)
            combo->addItems(QString::fromUtf8(control.items).split(u'\n'));
        combo->setCurrentIndex(-1); // lists have no selection when created
        combo->setMaxVisibleItems(qMax(1, control.cy / 10));
        // The template's height is that of the dropped list; the box itself is one line.
        geometry.setHeight(combo->sizeHint().height());
        widget = combo;
        break;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, dialog);
        // Enter presses only the button a template marks as its default, never
        // whichever button happens to be first (Qt's auto-default in dialogs).
        button->setAutoDefault(false);
        button->setDefault(control.flags & ControlFlag::DefaultButton);
        widget = button;
        break;
    }
    case ControlKind::CheckBox:
        widget = new QCheckBox(text, dialog);
        break;
    case ControlKind::ThreeStateCheckBox:
        widget = new CThreeStateCheckBox(text, dialog);
        break;
    case ControlKind::IconPicture: {
        auto* picture = new QLabel(dialog);
        picture->setPixmap(ResourceModule::Current().Icon(control.iconId));
        widget = picture;
        break;
    }
    case ControlKind::ProgressBar: {
        auto* progress = new QProgressBar(dialog);
        progress->setRange(0, 100);
        progress->setValue(0);
        progress->setTextVisible(false);
        widget = progress;
        break;
    }
    case ControlKind::RichEdit: {
        auto* log = new QTextEdit(dialog);
        log->setReadOnly(control.flags & ControlFlag::ReadOnly);
        log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        widget = log;
        break;
    }
    }
    widget->setGeometry(geometry);
    return widget;
}
