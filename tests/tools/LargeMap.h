#pragma once

#include "model/TileGrid.h"

// A map large enough that writing it takes a while: 300 × 300 cells of about 40 characters.
inline void fillLargeMap(tessera::TileGrid& grid)
{
    grid.resize(300);
    const tessera::TileGrid::BulkChange bulk(grid);
    for (int r = 1; r <= 300; ++r)
        for (int c = 1; c <= 300; ++c)
            grid.setCellText(r, c, QStringLiteral("/home/user/地图素材/large/tile_%1_%2.jpg").arg(r).arg(c));
}
