#pragma once
// The entry list's view: a QListView that tells whether the user moved the current entry
// with the keyboard (the view also moves it by itself, for example when it gets the focus),
// and that is as wide as the longest entry, measured on that one entry only.
#include <QListView>
#include <QStyledItemDelegate>

namespace quavix {

class PlayListModel;

class PlayListView : public QListView {
    Q_OBJECT
public:
    explicit PlayListView(QWidget* parent = nullptr);
    // True while a key the user pressed is being handled.
    bool handlingKey() const { return m_keyDepth > 0; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_keyDepth = 0;
};

// Every row gets the size of the longest entry, so that the uniform row size the view asks
// for once covers all of them.
class LongestEntryDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    LongestEntryDelegate(const PlayListModel& model, QObject* parent);
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const PlayListModel& m_model;
};

} // namespace quavix
