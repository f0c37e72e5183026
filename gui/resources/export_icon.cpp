// Writes the program icon (resource 148) as a PNG file, for the desktop
// entry of an installed program.
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvane-export-icon FILE.png\n");
        return 2;
    }
    ResourceModule::UseBuiltIn();
    return ResourceModule::Current().Icon(Ids::IconProgram).save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
