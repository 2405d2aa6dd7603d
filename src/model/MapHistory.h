#pragma once

#include "model/MapShift.h"
#include "model/TileGrid.h"

#include <QList>
#include <QPoint>
#include <QUndoStack>

#include <optional>

#include <vector>

namespace tessera {

// One cell's change: its text before and after.
struct CellChange {
    int row = 0;
    int column = 0;
    QString before;
    QString after;
};

// What a command did, which names it in the menu and tells the undo button what it may take back.
enum class MapCommandKind { Place, Move, Delete, Swap, EditCell, ClearCell, Shift, Import, Assemble, Slice };

// A cell whose text a shift could not keep (it crossed the edge, or was the empty marker), by its
// index in the cells before the shift.
struct LostCell {
    std::size_t index = 0;
    QString text;
};

// The cells `shiftMapCells` will not keep, worked out on the snapshot before the shift.
std::vector<LostCell> shiftLosses(const CellTexts& before, int mapSize, ShiftDirection direction, int distance);

class MapCommand;

// The tile the move tool has taken up, and the cell it came from.
struct CarriedTile {
    int row = 0;
    int column = 0;
    QString path;
};

// What the undo button takes back next: a placement or a swap made since the last full redraw.
struct ButtonStep {
    MapCommandKind kind = MapCommandKind::Place;  // Place or Swap
    int row = 0;
    int column = 0;
    int otherRow = 0;  // a swap's second cell
    int otherColumn = 0;
    // It is the newest command and undoing it does just what the button does: the button undoes it.
    bool undoes = false;
    quint64 serial = 0;  // of its command
};

// The map's cells and every change to them as an undoable command on one stack: the one writer of
// the map. Each command keeps just what takes it back and forth: the cells it changed, a shift's
// direction and what fell off the edge, or for a whole-map change the other map (moved in and out
// of the grid, never copied). Pushing applies the command; undo and redo apply it again and say
// which cells or whether the whole map changed, so that the canvas redraws just that. It also
// answers what the undo button may take back. No widgets.
class MapHistory : public QObject {
    Q_OBJECT

public:
    explicit MapHistory(QObject* parent = nullptr);

    const TileGrid& grid() const { return grid_; }
    QUndoStack& stack() { return stack_; }
    const QUndoStack& stack() const { return stack_; }

    // New map: every cell empty at `mapSize`, and a new history with nothing to undo or redo.
    void startMap(int mapSize);
    // Pushes and applies a change of some cells; nothing when no text changes. An `open` change
    // takes in the next change of its kind pushed right after it, as one command.
    void changeCells(MapCommandKind kind, std::vector<CellChange> changes, bool open = false);
    // Pushes and applies the replacement of every cell, at `mapSize` (which may differ).
    void replaceMap(MapCommandKind kind, int mapSize, CellTexts cells);
    // Pushes and applies a shift whose result `shifted` was worked out on a snapshot, with the
    // cells it lost (`shiftLosses` of that snapshot).
    void shift(ShiftDirection direction, int distance, CellTexts shifted, std::vector<LostCell> lost);
    // A new history: nothing to undo or redo.
    void clear();

    // The move tool's pick-up: empties the cell as the first half of a move command and keeps its
    // tile in hand. The drop puts the carried tile into a cell and completes the move. A new map
    // or a map of another size ends the carry; undo and redo wait for the drop.
    void takeUp(int row, int column);
    void putDown(int row, int column);
    const std::optional<CarriedTile>& carried() const { return carried_; }

    // The undo and redo menu items (nothing while a tile is carried). Once used (until New map), the undo button takes back only the
    // newest command.
    void undo();
    void redo();
    // A full redraw or arming Delete: the undo button takes back nothing made before.
    void markRedrawn();
    // The undo button's next step: while the menu is unused, the newest placement or swap since
    // the mark that it has not taken back; after, the newest command when it is one of those.
    std::optional<ButtonStep> buttonStep() const;
    // Takes `step` back: undoes the newest command (a placement quietly: the button draws the
    // cell), or pushes the button's own change that empties the placement's cell or swaps back.
    void takeBack(const ButtonStep& step);

    // The command's name as the menu shows it.
    static QString nameOf(MapCommandKind kind);
    static QString shiftName(ShiftDirection direction, int distance);

signals:
    // An undo or redo changed these cells (x: column, y: row); each redraws itself.
    void cellsRestored(const QList<QPoint>& cells);
    // An undo or redo changed the whole map; when `resized`, it took another size first.
    void mapRestored(bool resized);
    // What the map took, applied, undone or redone alike, for a record of the map's changes: these
    // cells their `after` texts; every cell (read them from the grid); or a shift.
    void cellsSet(const std::vector<CellChange>& changes);
    void mapSet();
    void shifted(ShiftDirection direction, int distance);

private:
    friend class MapCommand;
    class Own;
    MapCommand* newest() const;

    TileGrid grid_;
    QUndoStack stack_;
    std::optional<CarriedTile> carried_;
    quint64 nextSerial_ = 1;
    quint64 redrawnAt_ = 0;  // commands of this serial number and below are not the button's
    bool menuUsed_ = false;  // also by a move of the stack's index from outside (the history window)
    int own_ = 0;            // the history's own calls running
    bool quiet_ = false;  // an undo that tells no view to redraw
};

}  // namespace tessera
