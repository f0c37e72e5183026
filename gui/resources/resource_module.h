#pragma once

#include "gui/resources/resource_types.h"

#include <QPixmap>
#include <QString>

// The resource module chosen once at start: the built-in set or the LangChn
// language library. Every look-up of a string, dialog template or icon by
// number goes through it; a number the library lacks falls back to the
// built-in set.
class ResourceModule {
public:
    static ResourceModule Current();

    // Loads the language library beside the program (then by name through
    // the system's search) and makes it current. False, with the built-in
    // set kept and nothing reported, when it is missing or not one of ours.
    static bool LoadLanguageLibrary();
    // Back to the built-in set (tests).
    static void UseBuiltIn();

    QString String(int id) const;
    const DialogTemplate* Dialog(int id) const;
    QPixmap Icon(int id) const;
    bool IsBuiltIn() const { return m_pTable == &BuiltInResources(); }

private:
    explicit ResourceModule(const ResourceTable* table) : m_pTable(table) {}

    const ResourceTable* m_pTable;
};

// String N of the current resource module.
inline QString LoadString(int id)
{
    return ResourceModule::Current().String(id);
}

// The program's usual message box: string N of the current resource module
// with the caption "消息" (string 132) and one OK button.
void MessageFromTable(int stringId);
