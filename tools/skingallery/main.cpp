// Opens the skin gallery: every skinned control in one window.
#include <QApplication>

#include "GalleryWnd.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    CGalleryWnd window;
    window.Create(QRect(40, 40, 780, 320));
    return app.exec();
}
