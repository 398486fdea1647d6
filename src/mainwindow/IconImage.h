#pragma once
// Image1: the program icon at the strip's right end. It stretches its picture to its
// square, reports mouse presses (with the button and the screen position) and the local
// files dropped on it, in drop order. Without a mouse it is the "Quavix menu" button:
// Space or Return with focus, or a screen reader's press, asks for the menu.
#include <QIcon>
#include <QLabel>
#include <string>
#include <vector>

namespace quavix {

class IconImage : public QLabel {
    Q_OBJECT
public:
    explicit IconImage(QWidget* parent = nullptr);
    void setIcon(const QIcon& icon);
    QIcon icon() const { return m_icon; }
    // Asks for the pop-up menu as the keyboard and screen readers do.
    void requestMenu() { emit menuRequested(); }
    // Screen readers see the icon as the menu button (once per program).
    static void installAccessibility();

signals:
    void mouseDown(Qt::MouseButton button, QPoint globalPos);
    void filesDropped(const std::vector<std::string>& paths);
    void menuRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();
    QIcon m_icon;
};

} // namespace quavix
