#pragma once
// The editor's entries as a list model: one row per entry, shown with entryText(). The
// entries themselves are byte strings and come back out exactly as they went in. Bulk
// changes reset the model once instead of moving row by row, so that views over 100,000
// rows stay quick.
#include <QAbstractListModel>
#include <QItemSelection>
#include <string>
#include <vector>

namespace quavix {

class PlayListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit PlayListModel(QObject* parent = nullptr);

    const std::vector<std::string>& entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }
    const std::string& entry(int row) const { return m_entries[static_cast<std::size_t>(row)]; }

    void setEntries(std::vector<std::string> entries);
    // Empties the model, handing the entries over.
    std::vector<std::string> takeEntries();
    // Inserts before `row` (clamped to 0..count()).
    void insertEntries(int row, std::vector<std::string> entries);
    void appendEntries(std::vector<std::string> entries)
    {
        insertEntries(count(), std::move(entries));
    }
    // Keeps the rows whose flag equals `keep` (see keepFlagged).
    void keepFlagged(const std::vector<char>& flags, bool keep);

    // The row of the entry with the most bytes (-1 when empty): the widest one, near enough.
    int longestRow() const;

    // One flag per row: whether the selection holds it. Linear in rows plus ranges.
    std::vector<char> flagsOf(const QItemSelection& selection) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<std::string> m_entries;
    mutable int m_longest = -1;
    mutable bool m_longestKnown = false;
};

} // namespace quavix
