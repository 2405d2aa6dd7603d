#pragma once

#include <QSize>

#include <memory>

namespace tessera {

class MapDocument;
class Dialogs;
class TileImageCache;

// 导出地图图片: asks for the file and the cell size (`inUse`, the canvas's, first), writes the whole map there
// as one picture in the background from a snapshot of the cells, and says how it went.
void exportMapPicture(MapDocument& document, Dialogs& dialogs, std::shared_ptr<TileImageCache> cache, QSize inUse);

}  // namespace tessera
