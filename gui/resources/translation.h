#pragma once

// A language other than the layout's own (Chinese) as data: its numbered
// strings, the words of the dialog templates keyed by the Chinese words
// they replace (captions, control texts, list items), and new places only
// for controls whose words need more room. The templates keep the layout
// once; a language is one file of these tables.
#include "gui/resources/resource_types.h"

#include <string>
#include <vector>

struct TextTranslation {
    const char* source; // as the Chinese template has it
    const char* text;
};

constexpr int kSamePlace = -1;

// Where a control goes instead, in dialog units; kSamePlace keeps a value.
struct PlaceChange {
    int x = kSamePlace;
    int y = kSamePlace;
    int cx = kSamePlace;
    int cy = kSamePlace;
};

// A control moved or widened for its words: by its ID, or for a control
// nobody addresses by the Chinese words it shows.
struct ControlPlace {
    int dialogId;
    int controlId;      // kNoControlId: found by `source`
    const char* source; // nullptr when found by its ID
    PlaceChange change;
};

struct Translation {
    const StringResource* strings;
    int stringCount;
    const TextTranslation* texts;
    int textCount;
    const ControlPlace* places;
    int placeCount;
};

// A new table: the language's strings, and the templates of `base` with
// the language's words and places; a word the language lacks stays as it
// is. Never freed, as the templates point into it: the caller builds it
// once, into a static of its own.
const ResourceTable& TranslatedResources(const ResourceTable& base, const Translation& language);

// The words and places of the language that match nothing of `base`: left
// behind when the layout changed. Empty for a language that fits it.
std::vector<std::string> UnmatchedTranslations(const ResourceTable& base, const Translation& language);

// The English language of the built-in set.
const Translation& EnglishTranslation();
