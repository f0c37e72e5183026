#pragma once

#include "core/config/window_language.h"

class QMenu;

// The context menu's choice of the window's language: each language named in
// itself, the one in use checked.
void AddLanguageMenu(QMenu* menu);

// Remembers the user's choice for the next start and says so in a box, in
// the language chosen, so that whoever chose it can read it; or that
// config.ini's UiLanguage, which wins, names another language.
void ChooseWindowLanguage(UiLanguage language);
