#pragma once
// MMControl1: the transport button bar (Prev, Next, Play, Pause, Back, Step, Stop, Record,
// Eject), painted here and sized by its owner. Which buttons take clicks follows its
// MMControlState; a disabled button draws greyed out and ignores the mouse. A click is a
// press and a release of the left button on the same enabled button.
//
// The bar may be placed partly outside its parent (the strip shows only its middle band):
// the glyphs are centred on the part that shows.
//
// Without a mouse: the bar takes focus by Tab or a click (never by itself); Tab and the
// arrow keys move between its enabled buttons, Space and Return run the focused one. Each
// button has a tool tip with its command's name, and screen readers see nine buttons
// (installWidgetAccessibility).
#include "startup/MediaControl.h"

#include <QWidget>

namespace quavix {

// The command a button runs, as menus and screen readers name it ("Previous", "Play", ...).
QString buttonName(Button b);

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
    // The button keyboard input goes to, -1 for none.
    int focusedButton() const { return m_focused; }

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
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // The next enabled button from `from` in direction step (+1, -1), -1 when none.
    int enabledFrom(int from, int step) const;
    void focusButton(int i);
    int buttonAt(QPoint pos) const; // -1 when none
    QRect visibleBand() const;
    void emitClicked(Button b);

    MMControlState m_state;
    int m_pressed = -1;       // button held down, -1 none
    bool m_pressedIn = false; // the mouse is still over the held button
    int m_focused = -1;
};

} // namespace quavix
