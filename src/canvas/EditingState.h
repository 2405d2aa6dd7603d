#pragma once

#include <QStringList>

namespace tessera {

// The armed tool; read from the checked tool radio, never stored.
enum class EditMode { Place, Delete, Move, Swap, Spare };

// The move tool's state: None before the first map, then Idle or Carrying (the history carries).
enum class MoveState { None = 0, Idle = 1, Carrying = 2 };

// The canvas tools' state, kept by the main window: the tile size, and the files waiting for the
// canvas. The carried tile is the history's.
struct EditingState {
    int tileWidth = 40;
    int tileHeight = 30;
    QStringList pickedFiles;  // the chosen file waiting for a click on the canvas
    QStringList dropQueue;    // dropped files waiting for the pointer to enter the canvas
};

}  // namespace tessera
