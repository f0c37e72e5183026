#include "core/config/window_language.h"

#include "core/config/ini_file.h"
#include "core/config/program_dir.h"
#include "core/config/user_settings.h"

using namespace Qt::StringLiterals;

namespace {

const QString kUserKey = u"uiLanguage"_s;

} // namespace

std::optional<UiLanguage> UiLanguageFromKey(const QString& key)
{
    const QString word = key.trimmed().toLower();
    if (word == u"zh"_s)
        return UiLanguage::Chinese;
    if (word == u"en"_s)
        return UiLanguage::English;
    return std::nullopt;
}

QString UiLanguageKey(UiLanguage language)
{
    return language == UiLanguage::English ? u"en"_s : u"zh"_s;
}

UiLanguage ChooseUiLanguage(std::optional<UiLanguage> configured, std::optional<UiLanguage> remembered)
{
    return configured.value_or(remembered.value_or(UiLanguage::Chinese));
}

std::optional<UiLanguage> ConfiguredUiLanguage()
{
    return UiLanguageFromKey(ReadIniString(ConfigIniPath(), u"PathInfo"_s, u"UiLanguage"_s, QString(), 16));
}

std::optional<UiLanguage> RememberedUiLanguage()
{
    return UiLanguageFromKey(UserSettings().value(kUserKey).toString());
}

void RememberUiLanguage(UiLanguage language)
{
    UserSettings().setValue(kUserKey, UiLanguageKey(language));
}

UiLanguage StartUiLanguage()
{
    return ChooseUiLanguage(ConfiguredUiLanguage(), RememberedUiLanguage());
}
