#pragma once

// The numbered resources of the program as plain data, so the built-in set
// and the LangChn language library carry them in the same form. Texts are
// UTF-8. Positions and sizes of controls are in dialog units.

enum class ControlKind : unsigned char {
    GroupBox,
    Label,
    Edit,
    ComboDropDown, // editable drop-down combo box
    ComboDropList, // fixed drop-down list
    PushButton,
    CheckBox,
    ThreeStateCheckBox,
    IconPicture,
    ProgressBar,
    RichEdit,
};

namespace ControlFlag {
constexpr unsigned Hidden = 0x01;
constexpr unsigned Disabled = 0x02;
constexpr unsigned ReadOnly = 0x04;
constexpr unsigned DigitsOnly = 0x08;
constexpr unsigned DefaultButton = 0x10;
} // namespace ControlFlag

constexpr int kNoControlId = -1;

struct ControlTemplate {
    int id;             // kNoControlId for labels and frames nobody addresses
    ControlKind kind;
    const char* text;   // caption; for an icon picture unused
    int x, y, cx, cy;
    unsigned flags;
    const char* items;  // initial list items separated by '\n', or nullptr
    int iconId;         // icon of an icon picture, else 0
};

struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;
    const char* fontFace;
    int pointSize;
    const ControlTemplate* controls;
    int controlCount;
};

struct StringResource {
    int id;
    const char* text;
};

struct IconResource {
    int id;
    const char* const* xpm; // XPM image, lines as an array
};

struct ResourceTable {
    const StringResource* strings;
    int stringCount;
    const DialogTemplate* dialogs;
    int dialogCount;
    const IconResource* icons;
    int iconCount;
};

// The resources compiled into whoever builds resource_table.cpp: the
// Chinese set, which the LangChn language library carries as well.
const ResourceTable& BuiltInResources();
// The English set: the Chinese layout in English words (language_en.cpp),
// compiled into the program only.
const ResourceTable& EnglishResources();

// Every text of the data passes through RES_TEXT; a build may mark them (the
// tests build a marked language library) by defining ORVANE_RES_MARK.
#ifndef ORVANE_RES_MARK
#define ORVANE_RES_MARK ""
#endif
#define RES_TEXT(text) ORVANE_RES_MARK text
