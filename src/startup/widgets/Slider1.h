#pragma once
// Slider1: the position slider, in whole seconds. Reports the mouse going down and up on it
// and a click (a press and release, also after dragging), so that its owner can stop it
// following playback while it is held and seek when it is let go. A press on the groove
// moves the handle to the press point, so one click seeks there. Only the left button
// counts: right and middle clicks do nothing.
#include <QSlider>

namespace quavix {

class PositionSlider : public QSlider {
    Q_OBJECT
public:
    explicit PositionSlider(QWidget* parent = nullptr);

signals:
    void mouseDown();
    void mouseUp();
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_down = false;
};

} // namespace quavix
