#include "skin/list/PlaylistModel.h"

#include "playlist/PlaylistSort.h"

#include <QBrush>

#include <algorithm>

namespace {

const std::wstring kNoText;

bool IsFailed(const CClipInfo* item) {
    return item != nullptr && item->loadFailed != 0;
}

} // namespace

int CPlaylistModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int CPlaylistModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant CPlaylistModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (!index.isValid() || !IsRow(row)) {
        return {};
    }
    const CRow& cells = m_rows[static_cast<std::size_t>(row)];
    const bool active = row == m_active;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: // the whole text, for titles cut by the column's edge
        return QString::fromStdWString(cells.texts[static_cast<std::size_t>(index.column())]);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            Qt::AlignVCenter |
            (index.column() == kDurationColumn ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::ForegroundRole:
        if (IsFailed(cells.item)) {
            return QBrush(PlaylistColours::kFailedText);
        }
        return active ? QVariant(QBrush(PlaylistColours::kActiveText)) : QVariant();
    case Qt::BackgroundRole:
        return QBrush(active ? PlaylistColours::kActiveBackground
                             : PlaylistColours::kListBackground);
    default:
        return {};
    }
}

QVariant CPlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section == kTitleColumn ? QStringLiteral("Title") : QStringLiteral("Duration");
}

int CPlaylistModel::Insert(int row, const std::wstring& title) {
    if (row < 0) {
        return -1;
    }
    row = std::min(row, Count());
    beginInsertRows({}, row, row);
    CRow cells;
    cells.texts[kTitleColumn] = title;
    m_rows.insert(m_rows.begin() + row, std::move(cells));
    endInsertRows();
    return row;
}

const std::wstring& CPlaylistModel::Text(int row, int column) const {
    if (!IsRow(row) || column < 0 || column >= kColumns) {
        return kNoText;
    }
    return m_rows[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
}

void CPlaylistModel::SetText(int row, int column, const std::wstring& text) {
    if (!IsRow(row) || column < 0 || column >= kColumns) {
        return;
    }
    m_rows[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)] = text;
    const QModelIndex cell = index(row, column);
    Q_EMIT dataChanged(cell, cell);
}

CClipInfo* CPlaylistModel::Item(int row) const {
    return IsRow(row) ? m_rows[static_cast<std::size_t>(row)].item : nullptr;
}

void CPlaylistModel::SetItem(int row, CClipInfo* item) {
    if (!IsRow(row)) {
        return;
    }
    m_rows[static_cast<std::size_t>(row)].item = item;
    RepaintRow(row);
}

std::vector<const CClipInfo*> CPlaylistModel::Items() const {
    std::vector<const CClipInfo*> items;
    items.reserve(m_rows.size());
    for (const CRow& row : m_rows) {
        items.push_back(row.item);
    }
    return items;
}

void CPlaylistModel::Remove(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first > last) {
        return;
    }
    beginRemoveRows({}, first, last);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
    endRemoveRows();
}

void CPlaylistModel::RemoveAll() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CPlaylistModel::Move(int from, int to) {
    if (!IsRow(from) || !IsRow(to) || from == to) {
        return;
    }
    // Qt names the row before which the moved row lands, counted before the move.
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    CRow moved = std::move(m_rows[static_cast<std::size_t>(from)]);
    m_rows.erase(m_rows.begin() + from);
    m_rows.insert(m_rows.begin() + to, std::move(moved));
    // The active mark belongs to the item being played, not to a row number: it moves with the
    // row, and shifts with the rows the move pushed aside.
    if (m_active == from) {
        m_active = to;
    } else if (from < m_active && m_active <= to) {
        --m_active;
    } else if (to <= m_active && m_active < from) {
        ++m_active;
    }
    endMoveRows();
}

void CPlaylistModel::Reorder(const std::vector<int>& order) {
    if (order.size() != m_rows.size()) {
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    for (std::size_t newRow = 0; newRow < order.size(); ++newRow) {
        newRowOf[static_cast<std::size_t>(order[newRow])] = static_cast<int>(newRow);
    }
    ApplyPlaylistOrder(m_rows, order);

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        after.push_back(index(newRowOf[static_cast<std::size_t>(old.row())], old.column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CPlaylistModel::SetActive(int row) {
    const int previous = m_active;
    m_active = row;
    RepaintRow(previous);
    RepaintRow(row);
}

void CPlaylistModel::RepaintRow(int row) {
    if (IsRow(row)) {
        Q_EMIT dataChanged(index(row, 0), index(row, kColumns - 1));
    }
}
