#include "frmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnbell"));
    // Ties the window to its desktop entry and icon where the window system asks (Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnbell.Tarnbell"));
    frmMain window;
    window.show();
    return QApplication::exec();
}
