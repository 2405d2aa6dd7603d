#pragma once

#include <QStringList>

namespace tessera {

// The armed tool; read from the checked tool radio, never stored.
enum class EditMode { Place, Delete, Move, Swap, Spare };

// The move tool's state: 0 before the first New map, then Idle or Carrying.
enum class MoveState { None = 0, Idle = 1, Carrying = 2 };

// The program-wide editing state shared by the canvas tools.
struct EditingState {
    MoveState moveState = MoveState::None;
    int tileWidth = 40;
    int tileHeight = 30;
    QStringList pickedFiles;  // the chosen file waiting for a click on the canvas
    QStringList dropQueue;    // dropped files waiting for the pointer to enter the canvas
    // The tile the move tool carries, and the cell it came from; none when nothing is carried.
    QString carriedPath;
    int carriedFromRow = 0;
    int carriedFromColumn = 0;
};

}  // namespace tessera
