// The LangChn language library: the same numbered resources, found by the
// program through this one exported function.
#include "gui/resources/resource_types.h"

#if defined(_WIN32)
#define ORVANE_EXPORT extern "C" __declspec(dllexport)
#else
#define ORVANE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

ORVANE_EXPORT const ResourceTable* OrvaneLanguageResources()
{
    return &BuiltInResources();
}
