#pragma once

#include <QAbstractTableModel>

#include <functional>

namespace tessera {

class TileGrid;

// The grid as a table: row r and column c of the map are model row r-1 and column c-1; the headers
// read the 1-based numbers. Body cells are editable.
class TileGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static const QString kCornerText;
    static constexpr int kColumnWidth = 120;
    static constexpr int kRowHeight = 24;

    explicit TileGridModel(const TileGrid& grid, QObject* parent = nullptr);

    // While long work runs on the map, its cells cannot be edited.
    void setEditable(bool editable);
    // Where an edit in the table goes (the map's history); without one, nothing is edited.
    void setCellEditor(std::function<void(int row, int column, const QString& text)> edit) { edit_ = std::move(edit); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const TileGrid& grid_;
    bool editable_ = true;
    std::function<void(int, int, const QString&)> edit_;
};

}  // namespace tessera
