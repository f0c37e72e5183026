#pragma once

#include <QString>
#include <optional>

// The language of the window's texts. The camera's own OSD language
// (config.ini's Language, register 0xF9) is another setting and does not
// follow it.
enum class UiLanguage { Chinese, English };

// "zh" or "en" (case and surrounding blanks ignored); anything else is no choice.
std::optional<UiLanguage> UiLanguageFromKey(const QString& key);
QString UiLanguageKey(UiLanguage language);

// config.ini's UiLanguage wins over the user's remembered choice; with
// neither, the window is Chinese.
UiLanguage ChooseUiLanguage(std::optional<UiLanguage> configured, std::optional<UiLanguage> remembered);

// config.ini's [PathInfo] UiLanguage, when it names a language.
std::optional<UiLanguage> ConfiguredUiLanguage();
// The user's choice from the window, kept for the next start.
std::optional<UiLanguage> RememberedUiLanguage();
void RememberUiLanguage(UiLanguage language);
// The language the window starts in.
UiLanguage StartUiLanguage();
