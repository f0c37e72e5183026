#pragma once

#include "core/config/window_language.h"
#include "gui/resources/resource_types.h"

#include <QPixmap>
#include <QString>

// The resource module chosen once at start: the built-in Chinese set, the
// LangChn language library, or the built-in English set. Every look-up of a
// string, dialog template or icon by number goes through it; a number the
// current set lacks falls back to the built-in Chinese set.
class ResourceModule {
public:
    static ResourceModule Current();
    // The built-in set of a language, current or not.
    static ResourceModule BuiltIn(UiLanguage language);

    // Loads the language library beside the program (then by name through
    // the system's search) and makes it current. False, with the built-in
    // set kept and nothing reported, when it is missing or not one of ours.
    static bool LoadLanguageLibrary();
    // The built-in set of that language (Chinese: also the tests' way back).
    static void UseBuiltIn(UiLanguage language = UiLanguage::Chinese);

    QString String(int id) const;
    const DialogTemplate* Dialog(int id) const;
    QPixmap Icon(int id) const;
    // English for the English set, else Chinese (the LangChn library included).
    UiLanguage Language() const;

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
// The same with the warning icon, for what went wrong.
void WarningFromTable(int stringId);
