// teskar7: the program an operator starts. It takes no command-line arguments.

#include "app/shell.h"
#include "common/disk_file.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    t7::ignoreFileSizeSignal();
    QApplication::setOrganizationName(QStringLiteral("Kelmet"));
    QApplication::setApplicationName(QStringLiteral("VARDO"));
    t7::Shell::loadTranslations();
    t7::Shell shell;
    shell.start();
    return QApplication::exec();
}
