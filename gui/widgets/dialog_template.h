#pragma once

#include "gui/resources/resource_types.h"

#include <QFont>
#include <QHash>
#include <QRect>
#include <QSize>

class QFontMetrics;
class QWidget;

// Dialog units to pixels, as the original platform measures them: the
// horizontal base unit is the dialog font's average character width, the
// vertical one its height; x units are quarters, y units eighths of them.
QSize DialogBaseUnits(const QFontMetrics& metrics);
QRect MapDialogRect(const QRect& units, QSize baseUnits);

// The font a template names, falling back to the platform's CJK fonts.
QFont DialogFont(const char* face, int pointSize);

// Creates the controls of a dialog template on a widget, with their initial
// states and list items, and finds them again by control ID.
class CTemplateControls {
public:
    // Builds template `templateId` of the current resource module on
    // `dialog`, whose size and font it sets. Returns the template's caption.
    QString Build(QWidget* dialog, int templateId);

    QWidget* GetDlgItem(int id) const { return m_items.value(id); }
    template <typename T>
    T* Item(int id) const { return qobject_cast<T*>(GetDlgItem(id)); }
    QSize BaseUnits() const { return m_baseUnits; }

private:
    QWidget* CreateControl(QWidget* dialog, const ControlTemplate& control);
    static void NameAfterCaption(QWidget* field, QWidget* caption);

    QHash<int, QWidget*> m_items;
    QSize m_baseUnits;
};
