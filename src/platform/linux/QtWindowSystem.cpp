#include "QtWindowSystem.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

namespace quavix {

namespace {
QWidget* ownWindow(WindowSystem::Handle handle)
{
    if (!handle)
        return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->internalWinId() && static_cast<WindowSystem::Handle>(w->internalWinId()) == handle)
            return w;
    return nullptr;
}

double twipsPerPixel(double dpi)
{
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}
} // namespace

WindowSystem::Handle QtWindowSystem::foregroundWindow()
{
    return 0;
}

bool QtWindowSystem::isVisible(Handle window)
{
    QWidget* w = ownWindow(window);
    return w && w->isVisible();
}

std::optional<PixelRect> QtWindowSystem::windowRect(Handle window)
{
    QWidget* w = ownWindow(window);
    if (!w)
        return std::nullopt;
    const QRect r = w->frameGeometry();
    return PixelRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void QtWindowSystem::makeTopmost(Handle window, bool on)
{
    if (QWidget* w = ownWindow(window); w && on)
        w->raise();
}

PixelRect QtWindowSystem::desktopRect()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QRect r = screen->geometry();
    return PixelRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

double QtWindowSystem::twipsPerPixelX()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return twipsPerPixel(screen ? screen->logicalDotsPerInchX() : 96.0);
}

double QtWindowSystem::twipsPerPixelY()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return twipsPerPixel(screen ? screen->logicalDotsPerInchY() : 96.0);
}

} // namespace quavix
