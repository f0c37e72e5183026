#include "gui/app/my_corvix_app.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    CMyCorvixApp app;
    app.InitInstance();
    return 0;
}
