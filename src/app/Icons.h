#pragma once

#include <QIcon>

namespace tessera {

enum class IconKind { Place, Delete, Move, Swap, Spare, Undo, Refresh, Preview, NewMap, Information, Warning };

// The program's own icons, painted in code at whatever size is asked for.
QIcon makeIcon(IconKind kind);

}  // namespace tessera
