// Writes the manual pages into the folder given, at build time.
#include "cli/cli_options.h"
#include "cli/man_page.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

bool WritePage(const QString& path, const QString& page)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(page.toUtf8()) >= 0 && file.commit())
        return true;
    std::fprintf(stderr, "orvane-man-pages: %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: orvane-man-pages FOLDER\n");
        return 2;
    }
    const QString folder = arguments[1];
    const QString version = QStringLiteral(ORVANE_VERSION);
    const bool written = WritePage(folder + u"/orvane-cli.1"_s, CliManPage(CliHelpText(), version))
                         && WritePage(folder + u"/orvane-config.1"_s, WindowManPage(version));
    return written ? 0 : 1;
}
