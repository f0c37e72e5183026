#include "gui/resources/translation.h"

#include <cstring>
#include <deque>
#include <vector>

namespace {

bool Same(const char* text, const char* source)
{
    return text && std::strcmp(text, source) == 0;
}

const char* Translated(const Translation& language, const char* source)
{
    if (!source || !*source)
        return source;
    for (int i = 0; i < language.textCount; ++i) {
        if (Same(source, language.texts[i].source))
            return language.texts[i].text;
    }
    return source;
}

void Place(ControlTemplate& control, const ControlPlace& place)
{
    const auto set = [](int& value, int changed) {
        if (changed != kSamePlace)
            value = changed;
    };
    set(control.x, place.change.x);
    set(control.y, place.change.y);
    set(control.cx, place.change.cx);
    set(control.cy, place.change.cy);
}

bool IsPlaceOf(const ControlPlace& place, int dialogId, const ControlTemplate& control)
{
    if (place.dialogId != dialogId)
        return false;
    return place.controlId != kNoControlId ? place.controlId == control.id
                                            : control.id == kNoControlId && std::strcmp(place.source, control.text) == 0;
}

bool TextInBase(const ResourceTable& base, const char* source)
{
    for (int d = 0; d < base.dialogCount; ++d) {
        const DialogTemplate& dialog = base.dialogs[d];
        if (Same(dialog.caption, source))
            return true;
        for (int c = 0; c < dialog.controlCount; ++c) {
            if (Same(dialog.controls[c].text, source) || Same(dialog.controls[c].items, source))
                return true;
        }
    }
    return false;
}

bool PlaceInBase(const ResourceTable& base, const ControlPlace& place)
{
    for (int d = 0; d < base.dialogCount; ++d) {
        for (int c = 0; c < base.dialogs[d].controlCount; ++c) {
            if (IsPlaceOf(place, base.dialogs[d].id, base.dialogs[d].controls[c]))
                return true;
        }
    }
    return false;
}

// What one language's table is made of; never freed.
struct Built {
    ResourceTable table{};
    std::vector<DialogTemplate> dialogs;
    std::deque<std::vector<ControlTemplate>> controls; // each dialog's; a deque keeps them where they are
};

} // namespace

const ResourceTable& TranslatedResources(const ResourceTable& base, const Translation& language)
{
    auto* entry = new Built;
    for (int d = 0; d < base.dialogCount; ++d) {
        DialogTemplate dialog = base.dialogs[d];
        std::vector<ControlTemplate>& controls =
            entry->controls.emplace_back(dialog.controls, dialog.controls + dialog.controlCount);
        for (ControlTemplate& control : controls) {
            for (int p = 0; p < language.placeCount; ++p) {
                if (IsPlaceOf(language.places[p], dialog.id, control))
                    Place(control, language.places[p]);
            }
            control.text = Translated(language, control.text);
            control.items = Translated(language, control.items);
        }
        dialog.caption = Translated(language, dialog.caption);
        dialog.controls = controls.data();
        entry->dialogs.push_back(dialog);
    }
    entry->table = {language.strings, language.stringCount, entry->dialogs.data(),
                    static_cast<int>(entry->dialogs.size()), base.icons, base.iconCount};
    return entry->table;
}

std::vector<std::string> UnmatchedTranslations(const ResourceTable& base, const Translation& language)
{
    std::vector<std::string> unmatched;
    for (int i = 0; i < language.textCount; ++i) {
        if (!TextInBase(base, language.texts[i].source))
            unmatched.push_back(language.texts[i].source);
    }
    for (int i = 0; i < language.placeCount; ++i) {
        const ControlPlace& place = language.places[i];
        if (!PlaceInBase(base, place))
            unmatched.push_back("the place in template " + std::to_string(place.dialogId) + " of "
                                + (place.source ? std::string(place.source) : std::to_string(place.controlId)));
    }
    return unmatched;
}
