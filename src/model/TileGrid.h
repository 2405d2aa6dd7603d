#pragma once

#include <QObject>
#include <QString>

#include <vector>

namespace tessera {

class Progress;

// Largest map edge accepted: a 1000 × 1000 map.
inline constexpr int kMaxMapSize = 1000;

// Marker of an empty cell in the grid text; a cell itself holds the empty text.
inline const QString kEmptyMarker = QStringLiteral("空");
inline constexpr char16_t kFieldSeparator = u'|';
inline const QString kLineBreak = QStringLiteral("\r\n");

// The cells of an n × n map row by row: the map's content as plain data, for work on a snapshot
// away from the GUI thread (the strings are shared, so a copy is cheap).
using CellTexts = std::vector<QString>;

// Moves every cell's text by `rows` down and `columns` right (negative: up, left); what crosses an
// edge is lost and vacated cells become empty. A text that is exactly "空" is empty afterwards.
void shiftCellTexts(CellTexts& cells, int mapSize, int rows, int columns, Progress& progress);

// The map: mapSize × mapSize cells addressed (row, column) from (1, 1), each holding a tile path or
// the empty text. The single store of the map's content; views observe it through the signals.
class TileGrid : public QObject {
    Q_OBJECT

public:
    explicit TileGrid(QObject* parent = nullptr) : QObject(parent) {}

    int mapSize() const { return size_; }
    bool contains(int row, int column) const
    {
        return row >= 1 && column >= 1 && row <= size_ && column <= size_;
    }

    // The cell's text; the empty text for an empty cell or a position outside the map.
    const QString& cellText(int row, int column) const;
    // Stores `text` as the cell's value; a position outside the map is ignored.
    void setCellText(int row, int column, const QString& text);

    // Every cell's text, row by row.
    const CellTexts& cells() const { return cells_; }
    // Replaces every cell's text. False, and nothing changes, unless `cells` holds mapSize² texts.
    [[nodiscard]] bool replaceCells(CellTexts cells);
    // Takes `cells` (mapSize² texts) as the map at `mapSize` and hands back the cells it had; a
    // size change rebuilds as `resize` does. Nothing is copied.
    CellTexts exchangeCells(int mapSize, CellTexts cells);

    // Sets the edge length (New map) and rebuilds: every cell empty.
    void resize(int mapSize);
    // Empties every cell, keeping the size.
    void rebuild();

    // Collects many cell changes into one `cellsChanged` notification.
    class BulkChange {
    public:
        explicit BulkChange(TileGrid& grid) : grid_(grid) { ++grid_.bulkDepth_; }
        ~BulkChange();
        BulkChange(const BulkChange&) = delete;
        BulkChange& operator=(const BulkChange&) = delete;

    private:
        TileGrid& grid_;
    };

signals:
    void cellChanged(int row, int column);
    // Many cells may have changed (end of a bulk change).
    void cellsChanged();
    void aboutToRebuild();
    void rebuilt();

private:
    std::size_t indexOf(int row, int column) const
    {
        return static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(size_)
            + static_cast<std::size_t>(column - 1);
    }

    int size_ = 0;
    std::vector<QString> cells_;
    void touchedAll();

    int bulkDepth_ = 0;
    bool bulkTouched_ = false;
};

}  // namespace tessera
