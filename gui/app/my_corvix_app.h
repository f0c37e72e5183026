#pragma once

// The application: chooses where the numbered resources come from and runs
// the main dialog modally; when it ends, the program ends.
class CMyCorvixApp {
public:
    // Returns false: the process ends after the dialog, without a message loop of its own.
    bool InitInstance();

    // 1 when config.ini's Language is 1 (the built-in resources), else 0.
    int m_nLanguage = 0;
    // Whether the LangChn library was loaded (it stays loaded until the end).
    bool m_bLangLibraryLoaded = false;
};

// Makes the chosen resource module current: the built-in English set when
// the window starts in English (config.ini's UiLanguage, else the user's
// choice); otherwise, by config.ini's Language, the built-in Chinese set for
// 1 and the LangChn library for anything else (built-in when missing).
// Returns the m_nLanguage value, which follows Language alone: it sets the
// camera's OSD language, whatever the window's.
int ChooseResources(bool* libraryLoaded);
