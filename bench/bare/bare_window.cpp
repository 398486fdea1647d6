// The yardstick of the strip's start-up: a Qt Widgets program that shows one empty window
// of the given size with the strip's window flags and does nothing else.
//
//   quavix_bare_window WIDTH HEIGHT
#include <QApplication>
#include <QWidget>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int width = argc > 2 ? std::atoi(argv[1]) : 16;
    const int height = argc > 2 ? std::atoi(argv[2]) : 16;
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    window.setWindowTitle(QStringLiteral("QuavixBare"));
    window.setFixedSize(width, height);
    window.show();
    return app.exec();
}
