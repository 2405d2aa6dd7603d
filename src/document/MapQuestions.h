#pragma once

// The questions the map's commands ask before they act.
#include "model/MapShift.h"

#include <QString>

#include <optional>

namespace tessera {

class Dialogs;
class TileGrid;

// Asks "请注意保存，是否新建？" and then for the size. Nothing when the user declines or cancels or
// the answer is below 1; an answer above the largest size is refused with a message.
std::optional<int> askNewMapSize(Dialogs& dialogs);

// The question each shift asks: its prompt and title.
struct ShiftQuestion {
    QString prompt;
    QString title;
};
ShiftQuestion shiftQuestion(ShiftDirection direction);

// Asks how many cells to shift (initial answer "1"); nothing on Cancel.
std::optional<int> askShiftDistance(Dialogs& dialogs, ShiftDirection direction);

// How the opening questions of a batch command ended.
struct BatchStart {
    enum Outcome { Declined, Cancelled, NoMap, Go } outcome;
    QString folder;
};
// The opening questions of batch rename and batch move: whether to go on (Yes/No), then into which
// folder; without a map says "行数不能小于1，请重新输入！".
BatchStart askBatchRenameStart(Dialogs& dialogs, const TileGrid& grid);
BatchStart askBatchMoveStart(Dialogs& dialogs, const TileGrid& grid);

// Before a command fills the map with rows × columns cells: whether the tiles already on it may
// be replaced and the map grow. The map's size then; nothing when the user says No.
std::optional<int> askToFillMap(Dialogs& dialogs, const TileGrid& map, int rows, int columns);

}  // namespace tessera
