#pragma once

#include <QList>
#include <QStringList>

#include <optional>

namespace tessera {

// The armed tool; read from the checked tool radio, never stored.
enum class EditMode { Place, Delete, Move, Swap, Spare };

// The move tool's state: 0 before the first New map, then Idle or Carrying.
enum class MoveState { None = 0, Idle = 1, Carrying = 2 };

// What the undo button may take back: the placements and swaps made since the last full redraw,
// arming Delete or New map, the newest last, each with the serial number of its map command.
class PlacementHistory {
public:
    enum class Kind { Placement, Swap };
    struct Entry {
        int row;
        int column;
        Kind kind = Kind::Placement;
        int otherRow = 0;  // a swap's second cell
        int otherColumn = 0;
        quint64 serial = 0;
    };

    void append(int row, int column, quint64 serial = 0);
    void appendSwap(int row, int column, int otherRow, int otherColumn, quint64 serial = 0);
    void clear() { entries_.clear(); }
    qsizetype count() const { return entries_.size(); }
    bool isEmpty() const { return entries_.isEmpty(); }
    Entry newest() const { return entries_.constLast(); }  // only when not empty
    void removeNewest();
    // The entry of the command with this serial number, if there is one.
    std::optional<Entry> take(quint64 serial);

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
    // The tile the move tool carries, and the cell it came from; none when nothing is carried.
    QString carriedPath;
    int carriedFromRow = 0;
    int carriedFromColumn = 0;
    // The undo and redo menu items have been used since New map: the undo button then takes back
    // only the newest command, when that is one of its placements or swaps.
    bool undoMenuUsed = false;
};

}  // namespace tessera
