#pragma once

// The application: chooses where the numbered resources come from and runs
// the main dialog modally; when it ends, the program ends.
class CMyCorvixApp {
public:
    // Returns false: the process ends after the dialog, without a message loop of its own.
    bool InitInstance();
};

// Makes the chosen resource module current: the built-in English set when
// the window starts in English (config.ini's UiLanguage, else the user's
// choice); otherwise, by config.ini's Language, the built-in Chinese set for
// 1 and the LangChn library for anything else (built-in when missing; it
// stays loaded until the end).
void ChooseResources();
