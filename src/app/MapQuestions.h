#pragma once

// The questions the map's commands ask before they act.
#include "model/MapShift.h"

#include <QString>

#include <optional>

namespace tessera {

class Platform;

// Asks "请注意保存，是否新建？" and then for the size. Nothing when the user declines or cancels or
// the answer is below 1; an answer above the largest size is refused with a message.
std::optional<int> askNewMapSize(Platform& platform);

// The question each shift asks: its prompt and title.
struct ShiftQuestion {
    QString prompt;
    QString title;
};
ShiftQuestion shiftQuestion(ShiftDirection direction);

// Asks how many cells to shift (initial answer "1"); nothing on Cancel.
std::optional<int> askShiftDistance(Platform& platform, ShiftDirection direction);

}  // namespace tessera
