#include "model/TileGridModel.h"

#include "model/TileGrid.h"

#include <QSize>

namespace tessera {

const QString TileGridModel::kCornerText = QStringLiteral("地图分片文件名");

TileGridModel::TileGridModel(const TileGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid)
{
    connect(&grid_, &TileGrid::cellChanged, this, [this](int row, int column) {
        const QModelIndex at = index(row - 1, column - 1);
        emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
    });
    connect(&grid_, &TileGrid::cellsChanged, this, [this] {
        const int n = grid_.mapSize();
        if (n > 0)
            emit dataChanged(index(0, 0), index(n - 1, n - 1), {Qt::DisplayRole, Qt::EditRole});
    });
    connect(&grid_, &TileGrid::aboutToRebuild, this, &TileGridModel::beginResetModel);
    connect(&grid_, &TileGrid::rebuilt, this, &TileGridModel::endResetModel);
}

int TileGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.mapSize();
}

int TileGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.mapSize();
}

QVariant TileGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const QString text = grid_.cellText(index.row() + 1, index.column() + 1);
    if (role == Qt::ToolTipRole)  // the whole path, which a narrow column cuts
        return text.isEmpty() ? QVariant() : QVariant(text);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return text;
}

void TileGridModel::setEditable(bool editable)
{
    editable_ = editable;
    if (const int n = grid_.mapSize(); n > 0)
        emit dataChanged(index(0, 0), index(n - 1, n - 1), {});
}

bool TileGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !editable_ || !edit_)
        return false;
    edit_(index.row() + 1, index.column() + 1, value.toString());
    return true;
}

Qt::ItemFlags TileGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | (editable_ ? Qt::ItemIsEditable : Qt::NoItemFlags);
}

QVariant TileGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole)
        return QString::number(section + 1);
    if (role == Qt::SizeHintRole && orientation == Qt::Horizontal)
        return QSize(kColumnWidth, kRowHeight);
    return {};
}

}  // namespace tessera
