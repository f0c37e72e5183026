#include "gui/app/my_corvix_app.h"

#include <QApplication>
#include <csignal>

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A trace, log or report past the size limit (ulimit -f) fails its write,
    // which is said; the signal would close the window in the middle of an upgrade.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication application(argc, argv);
    CMyCorvixApp app;
    app.InitInstance();
    return 0;
}
