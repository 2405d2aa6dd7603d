// Feeds arbitrary bytes to the map path file reader.
#include "gui/Progress.h"
#include "model/MapText.h"
#include "model/TileGrid.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tessera::TileGrid grid;
    grid.resize(7);
    tessera::CountingProgress progress;
    const tessera::MapTextLoad load =
        tessera::loadMapText(grid, QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                             progress);
    if (progress.position() != progress.maximum() || load.fields != progress.maximum())
        __builtin_trap();
    if (grid.mapSize() != 7)
        __builtin_trap();
    return 0;
}
