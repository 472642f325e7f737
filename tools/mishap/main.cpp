// Mishap <program file name> <version> <report folder>: shows the crash report the player left in
// the folder. The player starts it after a fault (see src/app/crash/CrashReport.h).
#include "MishapDialog.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: Mishap <program> <version> <report folder>\n");
        return 2;
    }
    QApplication application(argc, argv);
    CMishapDialog dialog(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), argv[3]);
    dialog.show();
    return application.exec();
}
