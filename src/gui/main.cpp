#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnbell"));
    QLabel placeholder(QStringLiteral("Tarnbell: the window is being built."));
    placeholder.setWindowTitle(QStringLiteral("Tarnbell"));
    placeholder.show();
    return QApplication::exec();
}
