#include "gui/resources/resource_types.h"

extern const StringResource kStringsEn[];
extern const int kStringCountEn;
extern const DialogTemplate kDialogsEn[];
extern const int kDialogCountEn;
extern const IconResource kIcons[];
extern const int kIconCount;

const ResourceTable& EnglishResources()
{
    static const ResourceTable table{kStringsEn, kStringCountEn, kDialogsEn, kDialogCountEn, kIcons, kIconCount};
    return table;
}
