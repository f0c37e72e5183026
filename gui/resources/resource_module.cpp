#include "gui/resources/resource_module.h"

#include "gui/dialogs/message_box.h"
#include "core/config/program_dir.h"
#include "gui/resources/string_ids.h"

#include <QLibrary>

using namespace Qt::StringLiterals;

namespace {

const StringResource* FindString(const ResourceTable& table, int id)
{
    for (int i = 0; i < table.stringCount; ++i) {
        if (table.strings[i].id == id)
            return &table.strings[i];
    }
    return nullptr;
}

const DialogTemplate* FindDialog(const ResourceTable& table, int id)
{
    for (int i = 0; i < table.dialogCount; ++i) {
        if (table.dialogs[i].id == id)
            return &table.dialogs[i];
    }
    return nullptr;
}

const IconResource* FindIcon(const ResourceTable& table, int id)
{
    for (int i = 0; i < table.iconCount; ++i) {
        if (table.icons[i].id == id)
            return &table.icons[i];
    }
    return nullptr;
}

const ResourceTable* g_pCurrentTable = &BuiltInResources();

} // namespace

ResourceModule ResourceModule::Current()
{
    return ResourceModule(g_pCurrentTable);
}

bool ResourceModule::LoadLanguageLibrary()
{
    using Entry = const ResourceTable* (*)();
    // Loaded once and never unloaded: the texts point into it.
    static QLibrary* library = nullptr;
    if (!library) {
        // Beside the program, else where an installed program keeps it, else
        // wherever the system finds libraries.
        library = new QLibrary(GetProgramDir() + u"/LangChn"_s);
        if (!library->load()) {
            library->setFileName(GetProgramDir() + u"/" ORVANE_LANG_RELATIVE_DIR "/LangChn"_s);
            if (!library->load())
                library->setFileName(u"LangChn"_s);
        }
    }
    const auto entry = reinterpret_cast<Entry>(library->resolve("OrvaneLanguageResources"));
    const ResourceTable* table = entry ? entry() : nullptr;
    g_pCurrentTable = table ? table : &BuiltInResources();
    return table != nullptr;
}

ResourceModule ResourceModule::BuiltIn(UiLanguage language)
{
    return ResourceModule(language == UiLanguage::English ? &EnglishResources() : &BuiltInResources());
}

void ResourceModule::UseBuiltIn(UiLanguage language)
{
    g_pCurrentTable = BuiltIn(language).m_pTable;
}

UiLanguage ResourceModule::Language() const
{
    return m_pTable == &EnglishResources() ? UiLanguage::English : UiLanguage::Chinese;
}

QString ResourceModule::String(int id) const
{
    const StringResource* found = FindString(*m_pTable, id);
    if (!found)
        found = FindString(BuiltInResources(), id);
    return found ? QString::fromUtf8(found->text) : QString();
}

const DialogTemplate* ResourceModule::Dialog(int id) const
{
    const DialogTemplate* found = FindDialog(*m_pTable, id);
    return found ? found : FindDialog(BuiltInResources(), id);
}

QPixmap ResourceModule::Icon(int id) const
{
    const IconResource* found = FindIcon(*m_pTable, id);
    if (!found)
        found = FindIcon(BuiltInResources(), id);
    return found ? QPixmap(found->xpm) : QPixmap();
}

void MessageFromTable(int stringId)
{
    MessageBox(LoadString(stringId), LoadString(Ids::MessageCaption));
}

void WarningFromTable(int stringId)
{
    MessageBox(LoadString(stringId), LoadString(Ids::MessageCaption), MessageIcon::Warning);
}
