// A plain window for the window-system tests: a title, a size and one colour, on whatever
// platform QT_QPA_PLATFORM names (native Wayland or X11 through Xwayland).
//   quavix-test-window TITLE WIDTH HEIGHT [#rrggbb]
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    QWidget w;
    w.setWindowTitle(QString::fromLocal8Bit(argv[1]));
    w.resize(QString::fromLocal8Bit(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]).toInt());
    QPalette p = w.palette();
    p.setColor(QPalette::Window, QColor(QString::fromLatin1(argc > 4 ? argv[4] : "#3060c0")));
    w.setPalette(p);
    w.setAutoFillBackground(true);
    w.show();
    return app.exec();
}
