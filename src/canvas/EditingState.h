#pragma once

#include <QList>
#include <QStringList>

namespace tessera {

// The armed tool; read from the checked tool radio, never stored.
enum class EditMode { Place, Delete, Move, Swap, Spare };

// The move tool's state: 0 before the first New map, then Idle or Carrying.
enum class MoveState { None = 0, Idle = 1, Carrying = 2 };

// The undo history of placements: four parallel lists that always have the same length.
class PlacementHistory {
public:
    struct Entry {
        int left;
        int top;
        int row;
        int column;
    };

    void append(int left, int top, int row, int column);
    void clear();
    qsizetype count() const { return rows_.size(); }
    bool isEmpty() const { return rows_.isEmpty(); }
    Entry newest() const;  // only when not empty
    void removeNewest();

private:
    QList<int> lefts_;
    QList<int> tops_;
    QList<int> rows_;
    QList<int> columns_;
};

// The program-wide editing state shared by the canvas tools.
struct EditingState {
    PlacementHistory history;
    MoveState moveState = MoveState::None;
    int tileWidth = 40;
    int tileHeight = 30;
    QStringList pickedFiles;  // the chosen file waiting for a click on the canvas
    QStringList dropQueue;    // dropped files waiting for the pointer to enter the canvas
};

}  // namespace tessera
