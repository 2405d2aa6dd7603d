#pragma once

#include <QList>
#include <QStringList>

namespace tessera {

// The armed tool; read from the checked tool radio, never stored.
enum class EditMode { Place, Delete, Move, Swap, Spare };

// The move tool's state: 0 before the first New map, then Idle or Carrying.
enum class MoveState { None = 0, Idle = 1, Carrying = 2 };

// The undo history: placements and swaps, the newest last.
class PlacementHistory {
public:
    enum class Kind { Placement, Swap };
    struct Entry {
        int left;  // the placement's, or the swap's first cell's, origin in pixels
        int top;
        int row;
        int column;
        Kind kind = Kind::Placement;
        int otherRow = 0;  // a swap's second cell
        int otherColumn = 0;
    };

    void append(int left, int top, int row, int column);
    void appendSwap(int row, int column, int otherRow, int otherColumn);
    void clear() { entries_.clear(); }
    qsizetype count() const { return entries_.size(); }
    bool isEmpty() const { return entries_.isEmpty(); }
    Entry newest() const { return entries_.constLast(); }  // only when not empty
    void removeNewest();

private:
    QList<Entry> entries_;
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
