#include "gui/main_window/language_menu.h"

#include "gui/dialogs/message_box.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QActionGroup>
#include <QMenu>

void AddLanguageMenu(QMenu* menu)
{
    QMenu* languages = menu->addMenu(LoadString(Ids::LanguageMenu));
    auto* group = new QActionGroup(languages);
    const UiLanguage current = ResourceModule::Current().Language();
    for (const auto& [language, name] : {std::pair{UiLanguage::Chinese, Ids::LanguageChinese},
                                         std::pair{UiLanguage::English, Ids::LanguageEnglish}}) {
        QAction* action = languages->addAction(LoadString(name));
        action->setCheckable(true);
        action->setChecked(language == current);
        action->setActionGroup(group);
        QObject::connect(action, &QAction::triggered, languages, [language] { ChooseWindowLanguage(language); });
    }
}

void ChooseWindowLanguage(UiLanguage language)
{
    RememberUiLanguage(language);
    const ResourceModule chosen = ResourceModule::BuiltIn(language);
    const std::optional<UiLanguage> configured = ConfiguredUiLanguage();
    if (configured && *configured != language)
        MessageBox(chosen.String(Ids::LanguageSetInConfig), chosen.String(Ids::MessageCaption));
    else if (language != ResourceModule::Current().Language())
        MessageBox(chosen.String(Ids::LanguageAtNextStart), chosen.String(Ids::MessageCaption));
}
