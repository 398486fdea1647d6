#include "PlayListModel.h"

#include "engine/PlayListReader.h"
#include "playlist/EntryText.h"
#include "playlist/PlayListOrder.h"

#include <algorithm>

namespace quavix {

PlayListModel::PlayListModel(QObject* parent) : QAbstractListModel(parent) {}

void PlayListModel::setEntries(std::vector<std::string> entries)
{
    m_longestKnown = false;
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

std::vector<std::string> PlayListModel::takeEntries()
{
    m_longestKnown = false;
    beginResetModel();
    std::vector<std::string> taken = std::move(m_entries);
    m_entries.clear();
    endResetModel();
    return taken;
}

void PlayListModel::insertEntries(int row, std::vector<std::string> entries)
{
    if (entries.empty())
        return;
    row = std::clamp(row, 0, count());
    m_longestKnown = false;
    beginInsertRows({}, row, row + static_cast<int>(entries.size()) - 1);
    m_entries.insert(m_entries.begin() + row, std::make_move_iterator(entries.begin()),
                     std::make_move_iterator(entries.end()));
    endInsertRows();
}

void PlayListModel::keepFlagged(const std::vector<char>& flags, bool keep)
{
    m_longestKnown = false;
    beginResetModel();
    quavix::keepFlagged(m_entries, flags, keep);
    endResetModel();
}

std::vector<char> PlayListModel::flagsOf(const QItemSelection& selection) const
{
    std::vector<char> flags(m_entries.size(), 0);
    for (const QItemSelectionRange& range : selection) {
        if (range.model() != this)
            continue;
        int top = std::max(range.top(), 0), bottom = std::min(range.bottom(), count() - 1);
        for (int row = top; row <= bottom; ++row)
            flags[static_cast<std::size_t>(row)] = 1;
    }
    return flags;
}

int PlayListModel::longestRow() const
{
    if (!m_longestKnown) {
        m_longest = -1;
        std::size_t most = 0;
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (m_longest < 0 || m_entries[i].size() > most) {
                m_longest = static_cast<int>(i);
                most = m_entries[i].size();
            }
        }
        m_longestKnown = true;
    }
    return m_longest;
}

int PlayListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant PlayListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        // No name is that long: a line past the cap is garbage, kept as it is for the file
        // but never laid out whole (a line of a gigabyte would take the text layout down).
        const std::string_view text = entry(index.row());
        if (text.size() > MaxEntryBytes)
            return entryText(text.substr(0, MaxEntryBytes)) + QStringLiteral(" …");
        return entryText(text);
    }
    return {};
}

} // namespace quavix
