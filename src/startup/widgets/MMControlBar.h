#pragma once
// MMControl1: the transport button bar (Prev, Next, Play, Pause, Back, Step, Stop, Record,
// Eject), painted here and sized by its owner. Which buttons take clicks follows its
// MMControlState; a disabled button draws greyed out and ignores the mouse. A click is a
// press and a release of the left button on the same enabled button.
//
// The bar may be placed partly outside its parent (the strip shows only its middle band):
// the glyphs are centred on the part that shows.
#include "startup/MediaControl.h"

#include <QWidget>

namespace quavix {

class MMControlBar : public QWidget {
    Q_OBJECT
public:
    explicit MMControlBar(QWidget* parent = nullptr);

    MMControlState& state() { return m_state; }
    const MMControlState& state() const { return m_state; }
    // Call after changing state() so that the bar shows it.
    void stateChanged();
    bool buttonEnabled(Button b) const { return m_state.buttonEnabled(b); }
    // Where a button lies, in the bar's coordinates (the full height of the bar).
    QRect buttonRect(Button b) const;
    // Clicks the button as the user would: nothing happens when it is disabled.
    void click(Button b);

    QSize sizeHint() const override;

signals:
    void prevClicked();
    void nextClicked();
    void playClicked();
    void pauseClicked();
    void backClicked();
    void stepClicked();
    void stopClicked();
    void recordClicked();
    void ejectClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int buttonAt(QPoint pos) const; // -1 when none
    QRect visibleBand() const;
    void emitClicked(Button b);

    MMControlState m_state;
    int m_pressed = -1;       // button held down, -1 none
    bool m_pressedIn = false; // the mouse is still over the held button
};

} // namespace quavix
