#include "PlayListView.h"

#include "playlist/PlayListModel.h"

namespace quavix {

PlayListView::PlayListView(QWidget* parent) : QListView(parent) {}

void PlayListView::keyPressEvent(QKeyEvent* event)
{
    ++m_keyDepth;
    QListView::keyPressEvent(event);
    --m_keyDepth;
}

LongestEntryDelegate::LongestEntryDelegate(const PlayListModel& model, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model)
{
}

QSize LongestEntryDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    const int longest = m_model.longestRow();
    return QStyledItemDelegate::sizeHint(option, longest >= 0 ? m_model.index(longest) : index);
}

} // namespace quavix
