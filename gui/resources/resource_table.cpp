#include "gui/resources/resource_types.h"

extern const StringResource kStrings[];
extern const int kStringCount;
extern const DialogTemplate kDialogs[];
extern const int kDialogCount;
extern const IconResource kIcons[];
extern const int kIconCount;

const ResourceTable& BuiltInResources()
{
    static const ResourceTable table{kStrings, kStringCount, kDialogs, kDialogCount, kIcons, kIconCount};
    return table;
}
