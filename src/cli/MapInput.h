#pragma once

#include "model/TileGrid.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace tessera {

// A map named on the command line.
struct CommandMap {
    int size = 0;
    CellTexts cells;
    QStringList notes;  // what a TMX or TMJ map's import left out
};

// Reads a map path file (its size the larger of its line count and its widest line) or a TMX or
// TMJ map (told by its name, else by its first bytes). On failure says why on `err`.
std::optional<CommandMap> readCommandMap(const QString& path, QTextStream& err);

}  // namespace tessera
